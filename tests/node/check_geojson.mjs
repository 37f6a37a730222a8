// Holds a GeoJSON day file against the GPX 1.1 day file of the same run, each
// read by an independent tool:
//   node check_geojson.mjs FILE.geojson FILE.gpx
//   node check_geojson.mjs FOLDER      (every *.geojson there beside its .gpx)
//   node check_geojson.mjs --convert KELVANE_SPLIT INPUT...
//                       (the day files of the inputs, made by KELVANE_SPLIT
//                        --geojson --gpx-version 1.1 into a scratch folder)
// The GeoJSON must be UTF-8 without a byte order mark, JSON whose numbers
// have no exponent, and pass @placemarkio/check-geojson without errors; its
// lines must hold, in order, the coordinates and coordinateProperties (times,
// heart, cads) that @tmcw/togeojson reads from the GPX file.
// Exits 0 when all holds, 1 naming the file and the first difference, 77 when
// the npm packages are missing (scripts/setup.sh installs them here).
import { spawnSync } from 'child_process';
import fs from 'fs';
import os from 'os';
import path from 'path';

const usage = 'usage: node check_geojson.mjs FILE.geojson FILE.gpx | FOLDER | --convert KELVANE_SPLIT INPUT...';

let checkGeojson, togeojson, DOMParser;
try {
    ({ check: checkGeojson } = await import('@placemarkio/check-geojson'));
    togeojson = await import('@tmcw/togeojson');
    ({ DOMParser } = await import('@xmldom/xmldom'));
} catch (error) {
    console.log(`skipped: the npm packages are missing in tests/node (${error.code ?? error.message});` +
                ' scripts/setup.sh installs them');
    process.exit(77);
}

class Difference extends Error {}
const fail = (message) => { throw new Difference(message); };

// The text of a GeoJSON file, refused unless UTF-8 without a byte order mark.
function readText(file) {
    const bytes = fs.readFileSync(file);
    if (bytes[0] === 0xef && bytes[1] === 0xbb && bytes[2] === 0xbf)
        fail('starts with a byte order mark');
    try {
        return new TextDecoder('utf-8', { fatal: true }).decode(bytes);
    } catch {
        fail('is not UTF-8');
    }
}

// Refuses numbers written with an exponent: outside strings an e or E that
// follows a digit or a point can only be one (true and false have letters
// before theirs).
function refuseExponents(text) {
    let inString = false;
    for (let i = 0; i < text.length; ++i) {
        const c = text[i];
        if (inString) {
            if (c === '\\') ++i;
            else if (c === '"') inString = false;
        } else if (c === '"') {
            inString = true;
        } else if ((c === 'e' || c === 'E') && /[0-9.]/.test(text[i - 1])) {
            const line = text.slice(0, i).split('\n').length;
            fail(`line ${line}: a number with an exponent (${text.slice(Math.max(0, i - 12), i + 4)})`);
        }
    }
}

// The lines of a GeoJSON object in order, each { coordinates, times, heart,
// cads }, with the per-coordinate arrays of a MultiLineString split by line
// whether they are nested (togeojson's way) or flat.
function linesOf(geojson, where) {
    const features = geojson.type === 'FeatureCollection' ? geojson.features
                   : geojson.type === 'Feature' ? [geojson] : fail(`${where}: neither a Feature nor a FeatureCollection`);
    const lines = [];
    features.forEach((feature, f) => {
        const geometry = feature.geometry;
        if (!geometry || (geometry.type !== 'LineString' && geometry.type !== 'MultiLineString'))
            return;
        const multi = geometry.type === 'MultiLineString';
        const parts = multi ? geometry.coordinates : [geometry.coordinates];
        const perPoint = feature.properties?.coordinateProperties ?? {};
        const split = (name) => {
            const values = perPoint[name];
            if (values === undefined) return parts.map(() => undefined);
            if (!Array.isArray(values)) fail(`${where}: feature ${f + 1}: coordinateProperties.${name} is not an array`);
            if (!multi) return [values];
            if (values.every(Array.isArray)) return values;
            let at = 0;
            return parts.map((part) => values.slice(at, (at += part.length)));
        };
        const times = split('times'), heart = split('heart'), cads = split('cads');
        parts.forEach((coordinates, p) =>
            lines.push({ feature: f + 1, coordinates, times: times[p], heart: heart[p], cads: cads[p] }));
    });
    return lines;
}

const sameInstant = (a, b) => a === b || (typeof a === 'string' && typeof b === 'string' &&
                                          !Number.isNaN(Date.parse(a)) && Date.parse(a) === Date.parse(b));
const show = (value) => JSON.stringify(value);

// Lines as one, their per-point arrays joined (a missing one as nulls).
function joined(lines) {
    const values = (name) => lines.some((line) => line[name] !== undefined)
        ? lines.flatMap((line) => line[name] ?? line.coordinates.map(() => null)) : undefined;
    return { feature: lines[0].feature, coordinates: lines.flatMap((line) => line.coordinates),
             times: values('times'), heart: values('heart'), cads: values('cads') };
}

// Compares the lines read from both files; a per-point array one side lacks
// counts as all null there ("where the run has them").
function compareLines(ours, theirs, gpxFile) {
    const gpxName = path.basename(gpxFile);
    // The GeoJSON file draws a line for each part of a multisport run, the GPX
    // file one segment for the run: their points, one after the other, match.
    if (ours.length > 1 && theirs.length === 1)
        ours = [joined(ours)];
    if (ours.length !== theirs.length)
        fail(`holds ${ours.length} lines, ${gpxName} ${theirs.length}`);
    ours.forEach((line, l) => {
        const other = theirs[l];
        const at = `line ${l + 1} (feature ${line.feature})`;
        if (line.coordinates.length !== other.coordinates.length)
            fail(`${at}: ${line.coordinates.length} points, ${gpxName} ${other.coordinates.length}`);
        line.coordinates.forEach((position, i) => {
            const expected = other.coordinates[i];
            if (position.length !== expected.length || position.some((v, k) => v !== expected[k]))
                fail(`${at}, point ${i + 1}: ${show(position)}, ${gpxName} ${show(expected)}`);
        });
        for (const name of ['times', 'heart', 'cads']) {
            const mine = line[name], given = other[name];
            if (mine === undefined && given === undefined) continue;
            if (mine !== undefined && mine.length !== line.coordinates.length)
                fail(`${at}: coordinateProperties.${name} has ${mine.length} values for ${line.coordinates.length} points`);
            const equal = name === 'times' ? sameInstant : (a, b) => a === b;
            for (let i = 0; i < line.coordinates.length; ++i) {
                const a = mine?.[i] ?? null, b = given?.[i] ?? null;
                if (!equal(a, b))
                    fail(`${at}, point ${i + 1}: ${name} ${show(a)}, ${gpxName} ${show(b)}`);
            }
        }
    });
}

function checkPair(geojsonFile, gpxFile) {
    const text = readText(geojsonFile);
    let geojson;
    try {
        geojson = JSON.parse(text);
    } catch (error) {
        fail(`is not JSON: ${error.message}`);
    }
    refuseExponents(text);
    try {
        checkGeojson(text);
    } catch (error) {
        const issues = error.issues?.filter((issue) => issue.severity !== 'warning') ?? [];
        if (issues.length || !error.issues)
            fail(`check-geojson: ${(issues.length ? issues : [error]).map((issue) => issue.message).join('; ')}`);
    }
    const features = geojson.type === 'FeatureCollection' ? geojson.features : [geojson];
    features.forEach((feature, f) => {
        const time = feature.properties?.time;
        if (typeof time !== 'string' || !time.endsWith('Z') || Number.isNaN(Date.parse(time)))
            fail(`feature ${f + 1}: properties.time is not a UTC instant: ${show(time)}`);
        for (const key of ['sport', 'name'])
            if (typeof feature.properties[key] !== 'string' && feature.properties[key] !== null)
                fail(`feature ${f + 1}: properties.${key} is neither a string nor null: ${show(feature.properties[key])}`);
    });
    const gpxText = fs.readFileSync(gpxFile, 'utf8');
    const document = new DOMParser({ onError: () => {} }).parseFromString(gpxText, 'text/xml');
    const converted = togeojson.gpx(document);
    compareLines(linesOf(geojson, 'GeoJSON'), linesOf(converted, path.basename(gpxFile)), gpxFile);
}

function pairs(args) {
    if (args.length === 2) return [[args[0], args[1]]];
    if (args.length !== 1 || !fs.existsSync(args[0]) || !fs.statSync(args[0]).isDirectory()) {
        console.error(usage);
        process.exit(2);
    }
    const names = fs.readdirSync(args[0]).filter((name) => name.endsWith('.geojson')).sort();
    if (names.length === 0) {
        console.error(`${args[0]}: no .geojson file`);
        process.exit(1);
    }
    return names.map((name) => [path.join(args[0], name),
                                path.join(args[0], name.replace(/\.geojson$/, '.gpx'))]);
}

// Converts the inputs into a scratch folder, which is removed at exit.
function convert([program, ...inputs]) {
    if (!program || inputs.length === 0) {
        console.error(usage);
        process.exit(2);
    }
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'kelvane-geojson-'));
    process.on('exit', () => fs.rmSync(folder, { recursive: true, force: true }));
    const made = spawnSync(program, ['--geojson', '--gpx-version', '1.1', '-q', '-C', folder, ...inputs],
                           { encoding: 'utf8' });
    if (made.status !== 0) {
        console.error(`${program} exited with ${made.status ?? made.signal}: ${made.stderr}`);
        process.exit(1);
    }
    const count = (extension) => fs.readdirSync(folder).filter((name) => name.endsWith(extension)).length;
    if (count('.geojson') !== count('.gpx')) {
        console.error(`${program} wrote ${count('.geojson')} GeoJSON and ${count('.gpx')} GPX day files`);
        process.exit(1);
    }
    return folder;
}

let failed = 0;
const args = process.argv.slice(2);
const checked = pairs(args[0] === '--convert' ? [convert(args.slice(1))] : args);
for (const [geojsonFile, gpxFile] of checked) {
    try {
        if (!fs.existsSync(gpxFile)) fail(`has no GPX day file beside it (${path.basename(gpxFile)})`);
        checkPair(geojsonFile, gpxFile);
    } catch (error) {
        if (!(error instanceof Difference) && error.code !== 'ENOENT') throw error;
        console.error(`${geojsonFile}: ${error.message}`);
        ++failed;
    }
}
if (checked.length > 1) console.log(`${checked.length} GeoJSON files checked, ${failed} with differences`);
process.exit(failed ? 1 : 0);
