// The overview page in headless Chromium: the page of a library converted by
// kelvane-split from the sample history, the test files and the reference
// files beside the project (../shared/reference, where present), and pages of
// libraries made up for what those lack (a note to escape, fixed dates for the
// totals, a tile address, 20,000 runs):
//   node overview_page.mjs --writer PROGRAM --convert KELVANE_SPLIT INPUT...   the checks
//   ... --screenshots DIR                                                  and screenshots into DIR
// PROGRAM (tests/overview_library.cpp) writes the made-up libraries' pages.
// Skips (77) where the browser, playwright-core or Leaflet is missing.
import fs from 'fs';
import os from 'os';
import path from 'path';
import { pathToFileURL } from 'url';
import { faults, launchBrowser, openPage, screenshots, skip } from './browser.mjs';
import { convertLibrary, largeLibrary, leafletFolder, referenceInputs, setPageWriter, smallLibrary,
         writePage } from './overview_fixture.mjs';

const argument = (name) => process.argv[process.argv.indexOf(name) + 1];
setPageWriter(argument('--writer'));
const shotFolder = process.argv.includes('--screenshots') ? argument('--screenshots') : null;
const convertAt = process.argv.indexOf('--convert');
const inputs = process.argv.slice(convertAt + 2).filter((arg, i, all) => !arg.startsWith('--') &&
                                                          all[i - 1] !== '--screenshots');

const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'kelvane-overview-'));
const library = smallLibrary();
const small = path.join(scratch, 'small');
if (!writePage(small, library))
    skip(`Leaflet is not installed in ${leafletFolder} (scripts/setup.sh installs libjs-leaflet)`);
const smallUrl = pathToFileURL(path.join(small, 'index.html')).href;

// The converted library, and what its runs.csv says of each run.
const references = referenceInputs();
if (!references.length) console.log('the reference files are not beside the project (../shared/reference): the sample alone');
const converted = path.join(scratch, 'converted');
const catalogued = convertLibrary(process.argv[convertAt + 1], converted, [...inputs, ...references]);
const url = pathToFileURL(path.join(converted, 'index.html')).href;
const sportOf = (row) => row.sport || 'other';
const yearOf = (row) => row.local_start.slice(0, 4);
const positioned = (rows) => rows.filter((row) => Number(row.positioned_points) > 0).length;
const count = (rows, test) => rows.filter(test).length;
// The sport of the most runs with positions, short of all of them.
const sportsByTracks = [...new Set(catalogued.map(sportOf))]
    .map((sport) => [sport, positioned(catalogued.filter((row) => sportOf(row) === sport))])
    .sort((a, b) => b[1] - a[1]);
const sport = sportsByTracks[0][0];
const ofSport = catalogued.filter((row) => sportOf(row) === sport);

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
// Distances as the table shows them, in order, the runs without one last.
const inOrder = (texts, descending) => {
    const values = texts.filter((text) => text !== '\u2013').map((text) => Number(text.replaceAll(',', '')));
    return texts.slice(values.length).every((text) => text === '\u2013') &&
           values.every((value, i) => !i || (descending ? values[i - 1] >= value : values[i - 1] <= value));
};

const browser = await launchBrowser();
try {
    // One row per catalogued run, and a line on the map per run with positions.
    let view = await openPage(browser, url);
    let page = view.page;
    await mapReady(view);
    expect((await cells(page, 1)).length === catalogued.length,
           `one row per run (${(await cells(page, 1)).length} of ${catalogued.length})`);
    expect((await mapLines(page)) === positioned(catalogued), `a line per run with positions (${await mapLines(page)})`);

    // Sorting by distance: the greatest first, then the least first.
    await page.click('th[data-key="distance"] button');
    const missing = count(catalogued, (row) => row.distance_m === '');
    let distances = await cells(page, 4);
    expect(inOrder(distances, true) && count(distances, (text) => text === '\u2013') === missing,
           `sorted by distance, greatest first: ${distances}`);
    expect((await page.getAttribute('th[data-key="distance"]', 'aria-sort')) === 'descending', 'aria-sort descending');
    await page.click('th[data-key="distance"] button');
    distances = await cells(page, 4);
    expect(inOrder(distances, false) && distances.length === catalogued.length,
           `sorted by distance, least first: ${distances}`);
    expect(page.url().endsWith('#sort=distance'), `the sort in the address (${page.url()})`);

    // The sport filter: its rows, its lines, its address.
    await page.selectOption('#filter-sport', sport);
    await page.waitForFunction((chosen) => location.hash.includes(`sport=${chosen}`), sport);
    const sportsShown = await cells(page, 3);
    expect(sportsShown.length === ofSport.length && sportsShown.every((shown) => shown === sport),
           `only the ${sport} runs (${sportsShown})`);
    await page.waitForFunction((lines) => document.getElementById('map').dataset.lines === String(lines),
                               positioned(ofSport), { timeout: 15000 }).catch(() => {});
    expect((await mapLines(page)) === positioned(ofSport), `a line per ${sport} run (${await mapLines(page)})`);
    const legend = await page.$$eval('#legend li', (items) => items.map((item) => item.textContent));
    expect(JSON.stringify(legend) === JSON.stringify([sport]), `the legend of the lines drawn (${legend})`);

    // A click on a line that crosses no other opens its run's row.
    await page.$eval('#map', (map) => map.scrollIntoView({ block: 'end' }));
    const line = await page.evaluate(() => {
        const map = document.getElementById('map').leafletMap;
        const lines = [];
        map.eachLayer((layer) => layer.getTooltip?.() && layer.getLatLngs?.().length > 1 && lines.push(layer));
        const box = (layer) => {
            const bounds = layer.getBounds();
            const [a, b] = [bounds.getSouthWest(), bounds.getNorthEast()].map((p) => map.latLngToContainerPoint(p));
            return { left: a.x - 6, right: b.x + 6, top: b.y - 6, bottom: a.y + 6 };
        };
        const apart = (p, q) => p.right < q.left || q.right < p.left || p.bottom < q.top || q.bottom < p.top;
        const alone = lines.find((layer) => lines.every((other) => other === layer || apart(box(layer), box(other)))) ??
                      lines.at(-1);
        // The map's points start inside its border.
        const element = document.getElementById('map'), frame = element.getBoundingClientRect();
        const at = map.latLngToContainerPoint(alone.getLatLngs()[0]);
        return { x: frame.left + element.clientLeft + at.x, y: frame.top + element.clientTop + at.y,
                 name: alone.getTooltip().getContent() };
    });
    await page.mouse.click(line.x, line.y);
    await page.waitForSelector('#rows > tr.details', { timeout: 15000 }).catch(() => {});
    const focused = await page.evaluate(() => [...(document.activeElement.closest('tr')?.children ?? [])]
                                        .slice(0, 3).map((cell) => cell.textContent));
    expect(`${focused[0]} ${focused[1]}, ${focused[2]}` === line.name,
           `a click on the line of ${line.name} opens its row, with the focus (${focused})`);
    expect(faults(view).length === 0, `no fault on the page: ${faults(view).join('; ')}`);
    await view.close();

    // The address's state: a bookmarked view, and a change of the address.
    const year = yearOf(ofSport[0]);
    view = await openPage(browser, `${url}#sport=${sport}&year=${year}`);
    page = view.page;
    expect((await page.inputValue('#filter-sport')) === sport && (await page.inputValue('#filter-year')) === year,
           'the filter read from the address');
    const days = await cells(page, 1);
    expect(days.length === count(ofSport, (row) => yearOf(row) === year) && days.every((day) => day.includes(`${year}-`)),
           `the runs of the address (${days})`);
    const searched = catalogued[catalogued.length - 1];
    const word = path.basename(searched.input).toLowerCase();
    await page.evaluate((hash) => { location.hash = hash; }, `year=${yearOf(searched)}&q=${encodeURIComponent(word)}`);
    await page.waitForFunction((wanted) => document.getElementById('filter-year').value === wanted, yearOf(searched));
    const found = count(catalogued, (row) => yearOf(row) === yearOf(searched) && row.input.toLowerCase().includes(word));
    expect((await cells(page, 1)).length === found, `the runs of the changed address (${await cells(page, 1)})`);
    expect((await page.inputValue('#filter-text')) === word, 'the search read from the address');

    // Opened from the table: its day files and its picture, loaded beside the page.
    await page.click('#filter-clear');
    await page.click('#rows > tr button.open');
    const links = await page.$$eval('#rows > tr.details a', (as) => as.map((a) => a.getAttribute('href')));
    const opened = catalogued.find((row) => links[0]?.startsWith(`${row.base_name}.`));
    expect(opened && JSON.stringify(links) === JSON.stringify(opened.day_files.split(' ').map((e) => opened.base_name + e)),
           `the links to the day files (${links})`);
    await page.waitForFunction(() => document.querySelector('img.picture')?.complete);
    expect((await page.$eval('img.picture', (img) => img.naturalWidth)) > 0, 'the picture shown');
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
    expect((await cells(page, 3)).every((shown) => shown === chosen), `the keyboard's sport chosen (${chosen})`);
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

    // Made up: a note holding "</script>", and the totals on a day the library fixes.
    view = await openPage(browser, smallUrl);
    page = view.page;
    expect((await page.$eval('#title', (h) => h.textContent)) === library.title, 'the title');
    expect((await cells(page, 9)).includes(library.runs[0].note), `a note holding "</script>" as written (${await cells(page, 9)})`);
    // Runs this year so far, last year to the same day (9 December) and whole; cycling's.
    const totalRow = (table, label) => page.$$eval(`#${table} tbody tr`, (trs, wanted) =>
        trs.map((tr) => [...tr.children].map((cell) => cell.textContent)).find((cells) => cells[0] === wanted), label);
    expect(JSON.stringify(await totalRow('totals-years', 'Runs')) === '["Runs","4","2","3"]',
           `this year against the one before (${await totalRow('totals-years', 'Runs')})`);
    expect(JSON.stringify(await totalRow('totals-sport', 'cycling')) === '["cycling","2","141","5 h 10 min","2,060"]',
           `the totals of cycling (${await totalRow('totals-sport', 'cycling')})`);
    // The legend: the sports with a line, and the one without.
    await mapReady(view);
    const sports = await page.$$eval('#legend li', (items) => items.map((item) => item.textContent));
    expect(sports.at(-1) === 'no tracks: swimming' && sports.length === 6, `the legend (${sports})`);
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
            await p.click('#rows > tr button.open');
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
