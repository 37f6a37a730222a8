// The overview page in headless Chromium, filled with a small library written
// by hand and with 20,000 generated runs:
//   node overview_page.mjs --writer PROGRAM                   the checks
//   node overview_page.mjs --writer PROGRAM --screenshots DIR   and screenshots into DIR
// PROGRAM (tests/overview_library.cpp) writes each library's page.
// Skips (77) where the browser, playwright-core or Leaflet is missing.
import fs from 'fs';
import os from 'os';
import path from 'path';
import { pathToFileURL } from 'url';
import { faults, launchBrowser, openPage, screenshots, skip } from './browser.mjs';
import { largeLibrary, leafletFolder, setPageWriter, smallLibrary, writePage } from './overview_fixture.mjs';

const writerAt = process.argv.indexOf('--writer');
setPageWriter(process.argv[writerAt + 1]);
const shotsAt = process.argv.indexOf('--screenshots');
const shotFolder = shotsAt > 0 ? process.argv[shotsAt + 1] : null;

const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'kelvane-overview-'));
const library = smallLibrary();
const small = path.join(scratch, 'small');
if (!writePage(small, library))
    skip(`Leaflet is not installed in ${leafletFolder} (scripts/setup.sh installs libjs-leaflet)`);
// The picture of the run that lists one.
for (const run of library.runs.filter((run) => run.files.includes('svg')))
    fs.writeFileSync(path.join(small, `${run.name}.svg`),
                     '<svg xmlns="http://www.w3.org/2000/svg" width="320" height="160"><title>picture</title>' +
                     '<rect width="320" height="160" fill="#2f7ed8"/></svg>\n');
const url = pathToFileURL(path.join(small, 'index.html')).href;

let failures = 0;
const expect = (holds, what) => {
    if (!holds) {
        console.error(`FAIL: ${what}`);
        ++failures;
    }
};
const cells = (page, column) => page.$$eval(`#rows > tr:not(.details) > td:nth-child(${column})`,
                                            (tds) => tds.map((td) => td.textContent));
// Waits for the map's lines; a page that never draws them ends the test with its faults.
const mapReady = (view) => view.page.waitForFunction(() => document.getElementById('map').dataset.lines !== undefined,
                                                     null, { timeout: 10000 }).catch(() => {
    throw new Error(`the map was not drawn: ${faults(view).join('; ') || 'no fault seen'}`);
});
const mapLines = (page) => page.$eval('#map', (map) => Number(map.dataset.lines));
const withTrack = (runs) => runs.filter((run) => run.track).length;
const km = (metres) => (metres / 1000).toFixed(1);

const browser = await launchBrowser();
try {
    // One row per run, newest first, and a line on the map per run with positions.
    let view = await openPage(browser, url);
    let page = view.page;
    await mapReady(view);
    expect((await cells(page, 1)).length === library.runs.length,
           `one row per run (${(await cells(page, 1)).length} of ${library.runs.length})`);
    expect((await mapLines(page)) === withTrack(library.runs), `a line per run with positions (${await mapLines(page)})`);
    expect((await page.$eval('#title', (h) => h.textContent)) === library.title, 'the title');
    expect((await cells(page, 9)).includes(library.runs[0].note), `a note holding "</script>" as written (${await cells(page, 9)})`);
    // Totals: runs this year so far, last year to the same day (9 December) and whole; cycling's.
    const totalRow = (table, label) => page.$$eval(`#${table} tbody tr`, (trs, wanted) =>
        trs.map((tr) => [...tr.children].map((cell) => cell.textContent)).find((cells) => cells[0] === wanted), label);
    expect(JSON.stringify(await totalRow('totals-years', 'Runs')) === '["Runs","4","2","3"]',
           `this year against the one before (${await totalRow('totals-years', 'Runs')})`);
    expect(JSON.stringify(await totalRow('totals-sport', 'cycling')) === '["cycling","2","141","5 h 10 min","2,060"]',
           `the totals of cycling (${await totalRow('totals-sport', 'cycling')})`);

    // Sorting by distance: the greatest first, then the least first.
    await page.click('th[data-key="distance"] button');
    const descending = [...library.runs].sort((a, b) => b.distance - a.distance).map((run) => km(run.distance));
    expect(JSON.stringify(await cells(page, 4)) === JSON.stringify(descending),
           `sorted by distance, greatest first: ${await cells(page, 4)}`);
    expect((await page.getAttribute('th[data-key="distance"]', 'aria-sort')) === 'descending', 'aria-sort descending');
    await page.click('th[data-key="distance"] button');
    expect(JSON.stringify(await cells(page, 4)) === JSON.stringify([...descending].reverse()),
           `sorted by distance, least first: ${await cells(page, 4)}`);
    expect(page.url().endsWith('#sort=distance'), `the sort in the address (${page.url()})`);

    // The sport filter: its rows, its lines, its address.
    await page.selectOption('#filter-sport', 'cycling');
    await page.waitForFunction(() => location.hash.includes('sport=cycling'));
    const cycling = library.runs.filter((run) => run.sport === 'cycling');
    const sportsShown = await cells(page, 3);
    expect(sportsShown.length === cycling.length && sportsShown.every((sport) => sport === 'cycling'),
           `only the cycling runs (${sportsShown})`);
    await page.waitForFunction((count) => document.getElementById('map').dataset.lines === String(count),
                               withTrack(cycling), { timeout: 2000 }).catch(() => {});
    expect((await mapLines(page)) === withTrack(cycling), `a line per cycling run (${await mapLines(page)})`);

    // A click on a line opens its run's row.
    const target = library.runs.find((run) => run.name === '20260815_01_Saturday');
    await page.$eval('#map', (map) => map.scrollIntoView({ block: 'end' }));
    const point = await page.evaluate((day) => {
        const map = document.getElementById('map').leafletMap;
        let line = null;
        map.eachLayer((layer) => {
            if (layer.getTooltip?.()?.getContent().startsWith(day)) line = layer;
        });
        const box = document.getElementById('map').getBoundingClientRect();
        const at = map.latLngToContainerPoint(line.getLatLngs()[0]);
        return { x: box.left + at.x, y: box.top + at.y };
    }, 'Sat 2026-08-15');
    await page.mouse.click(point.x, point.y);
    const index = library.runs.indexOf(target);
    await page.waitForSelector(`#run-${index}-details`, { timeout: 2000 }).catch(() => {});
    expect(await page.$(`#run-${index}-details`) !== null, 'a click on a line opens its row');
    expect((await page.evaluate(() => document.activeElement.closest('tr')?.id)) === `run-${index}`,
           "the focus on the opened run's row");
    expect(faults(view).length === 0, `no fault on the page: ${faults(view).join('; ')}`);
    await view.close();

    // The address's state: a bookmarked view, and a change of the address.
    view = await openPage(browser, `${url}#sport=running&year=2025`);
    page = view.page;
    expect((await page.inputValue('#filter-sport')) === 'running' && (await page.inputValue('#filter-year')) === '2025',
           'the filter read from the address');
    expect(JSON.stringify(await cells(page, 1)) === '["Wed 2025-12-24"]', `the runs of the address (${await cells(page, 1)})`);
    await page.evaluate(() => { location.hash = 'year=2026&q=feldberg'; });
    await page.waitForFunction(() => document.getElementById('filter-year').value === '2026');
    expect(JSON.stringify(await cells(page, 3)) === '["hiking"]', `the runs of the changed address (${await cells(page, 3)})`);
    expect((await page.inputValue('#filter-text')) === 'feldberg', 'the search read from the address');

    // Opened from the table: its day files and its picture, loaded beside the page.
    await page.click('#filter-clear');
    const pictured = library.runs.findIndex((run) => run.files.includes('svg'));
    await page.click(`#run-${pictured} button.open`);
    const links = await page.$$eval(`#run-${pictured}-details a`, (as) => as.map((a) => a.getAttribute('href')));
    expect(JSON.stringify(links) === JSON.stringify(library.runs[pictured].files.map((e) => `${library.runs[pictured].name}.${e}`)),
           `the links to the day files (${links})`);
    await page.waitForFunction(() => document.querySelector('img.picture')?.complete);
    expect((await page.$eval('img.picture', (img) => img.naturalWidth)) === 320, 'the picture shown');
    expect(faults(view).length === 0, `no fault on the page: ${faults(view).join('; ')}`);
    await view.close();

    // Keyboard alone: to the sport filter, to a sort, to a run.
    view = await openPage(browser, url);
    page = view.page;
    const tabTo = async (test, most = 40) => {
        for (let i = 0; i < most; ++i) {
            await page.keyboard.press('Tab');
            if (await page.evaluate(test)) return true;
        }
        return false;
    };
    expect(await tabTo(() => document.activeElement.id === 'filter-sport'), 'Tab reaches the sport filter');
    await page.keyboard.press('ArrowDown');
    await page.waitForFunction(() => document.getElementById('filter-sport').value !== '');
    const chosen = await page.inputValue('#filter-sport');
    expect((await cells(page, 3)).every((sport) => sport === chosen), `the keyboard's sport chosen (${chosen})`);
    await page.keyboard.press('Home');
    await page.waitForFunction(() => document.getElementById('filter-sport').value === '');
    expect(await tabTo(() => document.activeElement.closest('th')?.dataset.key === 'ascent'), 'Tab reaches a sort');
    await page.keyboard.press('Enter');
    expect((await page.getAttribute('th[data-key="ascent"]', 'aria-sort')) === 'descending', 'Enter sorts');
    expect(await tabTo(() => document.activeElement.classList.contains('open')), 'Tab reaches a run');
    await page.keyboard.press('Enter');
    expect((await page.evaluate(() => document.activeElement.getAttribute('aria-expanded'))) === 'true' &&
           (await page.$$('#rows > tr.details')).length === 1, 'Enter opens the run');
    expect(faults(view).length === 0, `no fault on the page: ${faults(view).join('; ')}`);
    await view.close();

    // A base map only where the library names a tile address.
    const tiled = path.join(scratch, 'tiled');
    // Its one run's track is the example of the polyline's published description.
    const example = { ...library.runs[0], track: '_p~iF~ps|U_ulLnnqC_mqNvxq`@' };
    writePage(tiled, { ...library, runs: [example], tiles: { url: 'https://tiles.invalid/{z}/{x}/{y}.png', attribution: 'Tiles' } });
    view = await openPage(browser, pathToFileURL(path.join(tiled, 'index.html')).href);
    await mapReady(view);
    await view.page.waitForTimeout(200);
    const decoded = await view.page.evaluate(() => {
        const points = [];
        document.getElementById('map').leafletMap.eachLayer((layer) =>
            layer.getLatLngs && points.push(...layer.getLatLngs().map((p) => [p.lat, p.lng])));
        return points;
    });
    expect(JSON.stringify(decoded) === '[[38.5,-120.2],[40.7,-120.95],[43.252,-126.453]]', `the track decoded (${JSON.stringify(decoded)})`);
    expect(view.refused.length > 0 && view.refused.every((u) => /^https:\/\/tiles\.invalid\/\d+\/\d+\/\d+\.png$/.test(u)),
           `the tiles asked for, nothing else (${view.refused.slice(0, 3)})`);
    await view.close();

    // 20,000 runs: the first rows, timed from the start of the navigation.
    const large = path.join(scratch, 'large');
    const many = largeLibrary(20000);
    const made = writePage(large, many);
    const megabytes = fs.statSync(path.join(large, 'index.html')).size / 1e6;
    view = await openPage(browser, null);
    page = view.page;
    const started = Date.now();
    await page.goto(pathToFileURL(path.join(large, 'index.html')).href, { waitUntil: 'commit' });
    await page.waitForSelector('#rows > tr');
    const rowsSeen = Date.now() - started;
    const marks = await page.evaluate(() => Object.fromEntries(performance.getEntriesByType('mark')
                                                               .map((mark) => [mark.name, Math.round(mark.startTime)])));
    const rowCount = (await cells(page, 1)).length;
    expect(rowCount === 100, `the first page of rows (${rowCount})`);
    expect(faults(view).length === 0, `no fault on the page: ${faults(view).join('; ')}`);
    console.log(`20,000 runs (${megabytes.toFixed(1)} MB): first rows ${marks['kelvane-rows']} ms after the ` +
                `navigation began (seen by the test after ${rowsSeen} ms); ${made}`);
    await view.close();

    if (shotFolder) {
        fs.mkdirSync(shotFolder, { recursive: true });
        const open = async (p) => {
            await p.click(`#run-${pictured} button.open`);
            await p.waitForFunction(() => document.querySelector('img.picture')?.complete);
            await p.evaluate(() => scrollTo(0, 0));
        };
        const written = await screenshots(browser, url, path.join(shotFolder, 'overview'), { prepare: open });
        // The README's: the map and the first runs, small.
        view = await openPage(browser, url, { width: 1000, height: 760 });
        await mapReady(view);
        await view.page.evaluate(() => document.getElementById('tracks').scrollIntoView());
        await view.page.screenshot({ path: path.join(shotFolder, 'overview-readme.png') });
        await view.close();
        view = await openPage(browser, url, { media: 'print' });
        await view.page.screenshot({ path: path.join(shotFolder, 'overview-print.png'), fullPage: true });
        await view.close();
        console.log(`screenshots: ${[...written, path.join(shotFolder, 'overview-print.png')].join(' ')}`);
    }
} finally {
    await browser.close();
    fs.rmSync(scratch, { recursive: true, force: true });
}
console.log(failures ? `${failures} checks failed` : 'the overview page works');
process.exit(failures ? 1 : 0);
