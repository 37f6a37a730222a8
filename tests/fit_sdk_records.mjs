// The records of a FIT file as the FIT SDK for JavaScript (npm @garmin/fitsdk)
// reads them, heart rate merged from hr messages: one line each,
// "time latitude longitude heart-rate" (degrees; "-" where absent).
// Exits with 3 when the SDK is not to be found (see fit_sdk.mjs).
import { readFitMessages } from './fit_sdk.mjs';

const messages = await readFitMessages({ mergeHeartRates: true });
const degrees = (semicircles) => semicircles == null ? '-' : (semicircles * 180 / 2 ** 31).toFixed(9);
const lines = (messages.recordMesgs ?? []).map((r) =>
    [r.timestamp ? r.timestamp.toISOString().replace('.000Z', 'Z') : '-', degrees(r.positionLat),
     degrees(r.positionLong), r.heartRate ?? '-'].join(' '));
process.stdout.write(lines.map((line) => line + '\n').join(''));
