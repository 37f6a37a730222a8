// Pictures of runs in Chromium: the samples program writes them into FOLDER;
// each loads with no console error and no request, everything drawn lies
// inside its viewBox, its texts are there; then a page shows them all on a
// light and on a dark background, shot as FOLDER/pictures-light.png and
// FOLDER/pictures-dark.png.
//
//   node run_picture.mjs SAMPLES_PROGRAM FOLDER
import { execFileSync } from 'child_process';
import fs from 'fs';
import path from 'path';
import { pathToFileURL } from 'url';
import { faults, launchBrowser, openPage } from './browser.mjs';

const [program, folder] = process.argv.slice(2);
fs.rmSync(folder, { recursive: true, force: true });
fs.mkdirSync(folder, { recursive: true });
execFileSync(program, [folder]);

// Each sample and the parts it must draw.
const samples = {
    loop: ['track', 'start', 'end', 'elevation', 'heart-rate'],
    north: ['track', 'start', 'end', 'elevation', 'heart-rate'],
    antimeridian: ['track', 'start', 'end', 'elevation'],
    treadmill: ['heart-rate'],
    'no-points': [],
    'one-point': [],
    'one-place': ['elevation'],
    ultra: ['track', 'start', 'end', 'elevation', 'heart-rate'],
};

let failures = 0;
const expect = (holds, what) => {
    if (!holds) {
        console.error(`FAIL: ${what}`);
        ++failures;
    }
};

const started = Date.now();
const browser = await launchBrowser();
console.log(`browser started in ${Date.now() - started} ms`);
try {
    // One page loads each picture in turn; the faults it records are each
    // picture's own, as no picture runs a script.
    const view = await openPage(browser, null, { width: 480, height: 544 });
    for (const [name, parts] of Object.entries(samples)) {
        await view.page.goto(pathToFileURL(path.join(folder, `${name}.svg`)).href, { waitUntil: 'load' });
        const seen = await view.page.evaluate(() => {
            const svg = document.documentElement;
            const box = svg.viewBox.baseVal;
            // Strokes and round caps reach a little past a path's geometry.
            const outside = [...svg.querySelectorAll('path, circle, rect, text')].filter((element) => {
                const b = element.getBBox();
                return b.x < box.x - 2 || b.y < box.y - 2 || b.x + b.width > box.x + box.width + 2 ||
                       b.y + b.height > box.y + box.height + 2;
            }).map((element) => element.id || element.outerHTML.slice(0, 60));
            const track = document.getElementById('track')?.getBBox();
            return {
                root: svg.localName,
                outside,
                ids: [...svg.querySelectorAll('[id]')].map((element) => element.id),
                texts: [...svg.querySelectorAll('text')].map((text) => text.textContent.trim()),
                title: svg.querySelector(':scope > title')?.textContent ?? '',
                track: track && { width: track.width, height: track.height },
            };
        });
        expect(seen.root === 'svg', `${name}: read as SVG (${seen.root})`);
        for (const fault of faults(view)) expect(false, `${name}: ${fault}`);
        view.refused.length = view.consoleErrors.length = view.pageErrors.length = 0;
        expect(seen.outside.length === 0, `${name}: drawn inside the viewBox (${seen.outside})`);
        for (const part of parts) expect(seen.ids.includes(part), `${name}: its ${part} drawn (${seen.ids})`);
        expect(seen.texts.length >= 2 && seen.texts.every((text) => text.length > 0),
               `${name}: texts shown (${seen.texts})`);
        expect(seen.title.length > 0 && seen.texts[0] && seen.title.startsWith(seen.texts[0].replace(/…$/, '')),
               `${name}: the title says what the heading shows (${seen.title} / ${seen.texts[0]})`);
        if (parts.includes('track'))
            expect(seen.track.width > 100 || seen.track.height > 100,
                   `${name}: the track fills its box (${JSON.stringify(seen.track)})`);
    }
    await view.close();

    // All of them as a page shows them, on its light and its dark background.
    const page = path.join(folder, 'pictures.html');
    fs.writeFileSync(page, `<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>Pictures of runs</title>
<style>
body { margin: 12px; background: #fff; display: flex; flex-wrap: wrap; gap: 12px; align-items: flex-start; }
@media (prefers-color-scheme: dark) { body { background: #121212; } }
img { border: 1px dashed #8888; }
</style></head><body>
${Object.keys(samples).map((name) => `<img src="${name}.svg" alt="">`).join('\n')}
</body></html>
`);
    const shots = [];
    for (const colorScheme of ['light', 'dark']) {
        const view = await openPage(browser, pathToFileURL(page).href, { colorScheme, width: 1520, height: 1200 });
        const loaded = await view.page.evaluate(() => [...document.images].every((image) => image.complete && image.naturalWidth > 0));
        expect(loaded, `every picture loads as an image (${colorScheme})`);
        for (const fault of faults(view)) expect(false, `the page of pictures: ${fault}`);
        shots.push(path.join(folder, `pictures-${colorScheme}.png`));
        await view.page.screenshot({ path: shots.at(-1), fullPage: true });
        await view.close();
    }
    console.log(`screenshots: ${shots.join(' ')} (${Date.now() - started} ms in all)`);
} finally {
    await browser.close();
}
console.log(failures ? `${failures} checks failed` : 'the pictures load and fit');
process.exit(failures ? 1 : 0);
