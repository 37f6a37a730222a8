// The records of a FIT file as the FIT SDK for JavaScript (npm @garmin/fitsdk)
// reads them, heart rate merged from hr messages: one line each,
// "time latitude longitude heart-rate" (degrees; "-" where absent).
// Exits with 3 when the SDK is not to be found (in tests/node, where the set-up script installs it, the working folder or NODE_PATH).
import fs from 'fs';
import { createRequire } from 'module';
import { pathToFileURL } from 'url';

const require = createRequire(import.meta.url);
let sdk;
try {
    const paths = [process.cwd(), new URL('./node', import.meta.url).pathname,
                   ...(process.env.NODE_PATH ?? '').split(':').filter(Boolean)];
    sdk = await import(pathToFileURL(require.resolve('@garmin/fitsdk', { paths })));
} catch {
    process.exit(3);
}
const stream = sdk.Stream.fromByteArray(fs.readFileSync(process.argv[2]));
const { messages } = new sdk.Decoder(stream).read({ mergeHeartRates: true });
const degrees = (semicircles) => semicircles == null ? '-' : (semicircles * 180 / 2 ** 31).toFixed(9);
const lines = (messages.recordMesgs ?? []).map((r) =>
    [r.timestamp ? r.timestamp.toISOString().replace('.000Z', 'Z') : '-', degrees(r.positionLat),
     degrees(r.positionLong), r.heartRate ?? '-'].join(' '));
process.stdout.write(lines.map((line) => line + '\n').join(''));
