// Libraries made up for the tests of the overview page, and the page written
// from them by the engine.
import { spawnSync } from 'child_process';
import fs from 'fs';
import path from 'path';
import { fileURLToPath } from 'url';

export const overviewSource = fileURLToPath(new URL('../../engine/overview/', import.meta.url));
export const leafletFolder = '/usr/share/javascript/leaflet';

// Google's encoded polyline of [[latitude, longitude], ...], precision 5.
export function encodeTrack(points) {
    let text = '', lastLat = 0, lastLng = 0;
    const put = (value) => {
        let v = value < 0 ? ~(value << 1) : value << 1;
        while (v >= 0x20) {
            text += String.fromCharCode((0x20 | (v & 0x1f)) + 63);
            v >>= 5;
        }
        text += String.fromCharCode(v + 63);
    };
    for (const [lat, lng] of points) {
        const a = Math.round(lat * 1e5), b = Math.round(lng * 1e5);
        put(a - lastLat);
        put(b - lastLng);
        lastLat = a;
        lastLng = b;
    }
    return text;
}

// A loop of COUNT points around a centre, RADIUS degrees wide.
export function loop([lat, lng], radius, count = 40, wobble = 0) {
    return Array.from({ length: count }, (_, i) => {
        const angle = (2 * Math.PI * i) / count;
        const r = radius * (1 + wobble * Math.sin(5 * angle));
        return [lat + r * Math.sin(angle), lng + 1.5 * r * Math.cos(angle)];
    });
}

// A few runs written out by hand: every sport of note, three years, a run
// without positions, one without heart rate, one with a picture.
export function smallLibrary() {
    const run = (name, start, sport, distance, moving, ascent, heart, note, input, centre, files) => ({
        name, files, start, sport, distance, moving, ascent, heart, note, input,
        track: centre ? encodeTrack(loop(centre, 0.004 + distance / 4e6)) : '',
    });
    return {
        format: 1,
        title: 'Kelvane library',
        made: '2026-12-09T08:00:00',
        tiles: null,
        runs: [
            run('20241103_01_Sunday', '2024-11-03T09:15:02', 'running', 10234.5, 3120, 85, 148, 'Park loop </script><!-- and back',
                'history.xml', [47.99, 7.85], ['xml', 'gpx']),
            run('20250412_01_Saturday', '2025-04-12T14:02:40', 'cycling', 52310, 7380, 610, 131, 'Kaiserstuhl <with> "friends"',
                'export.zip: activities/412.fit.gz', [48.1, 7.66], ['fit', 'gpx', 'svg']),
            run('20250412_02_Saturday', '2025-04-12T19:30:00', 'walking', 3120.2, 2650, 12, null, '',
                'export.zip: activities/413.fit.gz', [47.995, 7.84], ['fit']),
            run('20251224_01_Wednesday', '2025-12-24T07:05:10', 'running', 21097.5, 6290, 140, 155, 'Half marathon, Zürich',
                'races.tcx', [47.37, 8.54], ['tcx', 'txt']),
            run('20260105_01_Monday', '2026-01-05T18:45:00', 'swimming', 2000, 2400, null, null, 'Pool, no positions',
                'pool.fit', null, ['fit']),
            run('20260607_01_Sunday', '2026-06-07T06:30:00', 'hiking', 18460, 21300, 1320, 118, 'Feldberg',
                'hikes.gpx', [47.87, 8.0], ['gpx']),
            run('20260815_01_Saturday', '2026-08-15T10:00:00', 'cycling', 88400, 11200, 1450, 140, 'Schauinsland',
                'export.zip: activities/815.fit.gz', [47.91, 7.9], ['fit', 'gpx']),
            run('20261201_01_Tuesday', '2026-12-01T12:10:00', 'rowing', 8000, 2100, 0, 150, 'Rhine',
                'rowing.fit', [47.56, 7.59], ['fit']),
        ],
    };
}

// COUNT runs spread over twelve years, four sports, tracks of 60 points (a
// few hundred of them, shared: the page decodes each run's own all the same).
export function largeLibrary(count) {
    let seed = 7;
    const random = () => (seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648;
    const tracks = Array.from({ length: 400 }, () =>
        encodeTrack(loop([47 + random() * 2, 7 + random() * 3], 0.01 + random() * 0.05, 60, 0.2)));
    const sports = ['running', 'cycling', 'walking', 'hiking'];
    const runs = [];
    let lastDay = '', number = 0;
    for (let i = 0; i < count; ++i) {
        const day = new Date(Date.UTC(2014, 0, 1) + Math.floor((i * 4380 * 86400000) / count));
        const sport = sports[Math.floor(random() * sports.length)];
        const distance = Math.round(2000 + random() * (sport === 'cycling' ? 90000 : 20000));
        const ymd = day.toISOString().slice(0, 10);
        number = ymd === lastDay ? number + 1 : 1;
        lastDay = ymd;
        runs.push({
            name: `${ymd.replaceAll('-', '')}_${String(number).padStart(2, '0')}_Day`, files: ['gpx'], start: `${ymd}T07:${String(i % 60).padStart(2, '0')}:00`,
            sport, distance, moving: Math.round(distance / (sport === 'cycling' ? 7 : 3)),
            ascent: Math.round(random() * 800), heart: 110 + Math.round(random() * 50), note: `run ${i}`,
            input: `export.zip: activities/${i}.fit.gz`,
            track: tracks[i % tracks.length],
        });
    }
    return { format: 1, made: '2026-12-09T08:00:00', tiles: null, runs };
}

// The program that writes a library folder of DATA and its page as
// kelvane-split does (tests/overview_library.cpp); set by the test.
let pageWriter = null;
export function setPageWriter(program) {
    pageWriter = program;
}

// Writes FOLDER/index.html of DATA with its .kelvane folder, by the engine;
// false when Leaflet is not installed.
export function writePage(folder, data) {
    if (!fs.existsSync(path.join(leafletFolder, 'leaflet.js'))) return false;
    fs.mkdirSync(folder, { recursive: true });
    const library = path.join(folder, '..', `${path.basename(folder)}.json`);
    fs.writeFileSync(library, JSON.stringify(data));
    const written = spawnSync(pageWriter, [library, folder], { encoding: 'utf8' });
    if (written.status !== 0)
        throw new Error(`${pageWriter} failed: ${written.stderr || written.error}`);
    return written.stdout.trim();
}

// The reference files beside the project (../shared/reference): its history,
// TCX, FIT and GPX files; none where the folder is missing.
export function referenceInputs() {
    const folder = fileURLToPath(new URL('../../../shared/reference/', import.meta.url));
    return ['logbook_sample.xml', 'tcx', 'fit', 'gpx'].map((name) => path.join(folder, name))
        .filter((input) => fs.existsSync(input));
}

// The rows of a CSV file as objects keyed by its header (quoted fields
// with doubled quotes, as runs.csv writes them).
export function readCsv(file) {
    const records = [];
    let record = [], field = '', quoted = false;
    const text = fs.readFileSync(file, 'utf8');
    for (let i = 0; i < text.length; ++i) {
        const c = text[i];
        if (quoted) {
            if (c !== '"') field += c;
            else if (text[i + 1] === '"') field += text[++i];
            else quoted = false;
        } else if (c === '"') quoted = true;
        else if (c === ',') record.push(field), field = '';
        else if (c === '\n') record.push(field.replace(/\r$/, '')), records.push(record), record = [], field = '';
        else field += c;
    }
    const [head, ...rows] = records;
    return rows.map((row) => Object.fromEntries(head.map((name, i) => [name, row[i] ?? ''])));
}

// Converts INPUTS into the library FOLDER with every kind of day file, its
// pictures and its page, by kelvane-split (PROGRAM); returns runs.csv's rows.
export function convertLibrary(program, folder, inputs) {
    fs.mkdirSync(folder, { recursive: true });
    const kinds = ['--own-format', '--csv', '--gpx', '--tcx', '--geojson', '--picture'];
    const converted = spawnSync(program, ['-q', '-C', folder, ...kinds, '--overview', ...inputs], { encoding: 'utf8' });
    if (converted.status !== 0)
        throw new Error(`${program} failed (${converted.status}): ${converted.stderr || converted.error}`);
    return readCsv(path.join(folder, 'runs.csv'));
}
