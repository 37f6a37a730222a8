// The sessions of a FIT file as the FIT SDK for JavaScript (npm @garmin/fitsdk)
// reads them: one line each, "name=value ..." in SI units with the names of
// DeviceTotals (run/run_figures.h), for the figures a file's sessions give.
// Exits with 3 when the SDK is not to be found (see fit_sdk.mjs).
import { readFitMessages } from './fit_sdk.mjs';

const messages = await readFitMessages();
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
