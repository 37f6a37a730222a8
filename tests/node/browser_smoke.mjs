// The browser harness at work on a page of its own: it loads from file:, sees
// the page's script run, refuses and records a request to the network, records
// a console error and an uncaught error, and takes a screenshot at 2x.
import fs from 'fs';
import os from 'os';
import path from 'path';
import { pathToFileURL } from 'url';
import { faults, launchBrowser, openPage, pngSize } from './browser.mjs';

const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'kelvane-browser-'));
const page = path.join(folder, 'page.html');
fs.writeFileSync(path.join(folder, 'beside.js'), 'document.body.dataset.beside = "loaded";\n');
fs.writeFileSync(page, `<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>Harness</title></head>
<body><p id="text">waiting</p>
<img alt="" src="http://kelvane.invalid/probe.png">
<script src="beside.js"></script>
<script>
document.getElementById('text').textContent = 'ran';
console.error('probe error');
setTimeout(() => { throw new Error('probe thrown'); }, 0);
</script></body></html>
`);

let failures = 0;
const expect = (holds, what) => {
    if (!holds) {
        console.error(`FAIL: ${what}`);
        ++failures;
    }
};

const browser = await launchBrowser();
try {
    const view = await openPage(browser, pathToFileURL(page).href, { scale: 2, width: 400, height: 300 });
    await view.page.waitForFunction(() => document.body.dataset.beside === 'loaded');
    await view.page.waitForTimeout(100);
    expect(await view.page.textContent('#text') === 'ran', "the page's script ran");
    expect(view.refused.length === 1 && view.refused[0] === 'http://kelvane.invalid/probe.png',
           `the request to the network refused and recorded (${view.refused})`);
    expect(view.consoleErrors.some((text) => text.startsWith('probe error')), 'the console error recorded');
    expect(view.pageErrors.some((text) => text.includes('probe thrown')), 'the uncaught error recorded');
    expect(faults(view).length >= 3, 'the faults listed');
    const shot = path.join(folder, 'shot.png');
    await view.page.screenshot({ path: shot });
    const size = pngSize(shot);
    expect(size.width === 800 && size.height === 600, `a 2x screenshot of 800 x 600 pixels (${size.width} x ${size.height})`);
    await view.close();
} finally {
    await browser.close();
    fs.rmSync(folder, { recursive: true, force: true });
}
console.log(failures ? `${failures} checks failed` : 'the browser harness works');
process.exit(failures ? 1 : 0);
