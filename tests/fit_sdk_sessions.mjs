// The sessions of a FIT file as the FIT SDK for JavaScript (npm @garmin/fitsdk)
// reads them: one line each, "name=value ..." in SI units with the names of
// DeviceTotals (run/run_figures.h), for the figures a file's sessions give.
// Exits with 3 when the SDK is not to be found (as fit_sdk_records.mjs).
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
const { messages } = new sdk.Decoder(stream).read();
const fields = {
    elapsed: 'totalElapsedTime', moving: 'totalTimerTime', distance: 'totalDistance',
    ascent: 'totalAscent', descent: 'totalDescent', heartRateAverage: 'avgHeartRate',
    heartRateMaximum: 'maxHeartRate', maximumSpeed: 'maxSpeed', calories: 'totalCalories',
    powerAverage: 'avgPower', powerMaximum: 'maxPower', temperatureAverage: 'avgTemperature',
};
const lines = (messages.sessionMesgs ?? []).map((session) => {
    const values = { ...session, maxSpeed: session.enhancedMaxSpeed ?? session.maxSpeed };
    return Object.entries(fields).filter(([, field]) => values[field] != null)
        .map(([name, field]) => `${name}=${values[field]}`).join(' ');
});
process.stdout.write(lines.map((line) => line + '\n').join(''));
