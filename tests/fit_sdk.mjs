// The messages of the FIT file named first on the command line, as the FIT
// SDK for JavaScript (npm @garmin/fitsdk) reads them with the given options.
// Exits with 3 when the SDK is not to be found (in tests/node, where the
// set-up script installs it, the working folder or NODE_PATH).
import fs from 'fs';
import { createRequire } from 'module';
import { pathToFileURL } from 'url';

export async function readFitMessages(options = {}) {
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
    return new sdk.Decoder(stream).read(options).messages;
}
