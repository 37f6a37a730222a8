// Pages opened in Debian's headless Chromium, driven by playwright-core, for
// the tests of what Kelvane writes for a browser. The page may load file: and
// data: URLs alone: every other request is refused and recorded (tracks are
// personal data; a page that reaches out is a fault), and so are console
// errors and uncaught page errors.
//
//   const browser = await launchBrowser();      // exits 77 saying why when it cannot
//   const view = await openPage(browser, pathToFileURL(file).href, { colorScheme: 'dark' });
//   ... view.page (a playwright Page), view.refused, view.consoleErrors, view.pageErrors
//   await view.close(); await browser.close();
import fs from 'fs';

export const chromiumPath = process.env.KELVANE_CHROMIUM ?? '/usr/bin/chromium';
export const skipCode = 77;

// Ends the test as skipped (CTest's SKIP_RETURN_CODE), saying why.
export function skip(reason) {
    console.log(`skipped: ${reason}`);
    process.exit(skipCode);
}

// The playwright-core module, or a skip when it or the browser is missing.
async function driver() {
    let playwright;
    try {
        playwright = await import('playwright-core');
    } catch {
        skip('playwright-core is not installed in tests/node (scripts/setup.sh installs it with npm)');
    }
    if (!fs.existsSync(chromiumPath))
        skip(`no browser at ${chromiumPath} (scripts/setup.sh installs Debian's chromium)`);
    return playwright;
}

export async function launchBrowser() {
    const { chromium } = await driver();
    try {
        return await chromium.launch({
            executablePath: chromiumPath,
            headless: true,
            args: [
                // Whatever slips past the request routing goes nowhere: no name
                // resolves and every connection is sent to a closed local port.
                '--host-resolver-rules=MAP * ~NOTFOUND',
                '--proxy-server=127.0.0.1:9',
                '--disable-background-networking',
                '--disable-component-update',
                '--no-first-run',
            ],
        });
    } catch (error) {
        skip(`${chromiumPath} does not start headless: ${error.message.split('\n')[0]}`);
    }
}

const local = (url) => url.startsWith('file:') || url.startsWith('data:') || url.startsWith('blob:') ||
                       url === 'about:blank';

// Opens URL in a context of its own: { page, context, refused, consoleErrors,
// pageErrors, close }. Options: colorScheme ('light', 'dark'), scale (device
// pixels per CSS pixel), width, height, media ('screen', 'print').
export async function openPage(browser, url, options = {}) {
    const context = await browser.newContext({
        colorScheme: options.colorScheme ?? 'light',
        deviceScaleFactor: options.scale ?? 1,
        viewport: { width: options.width ?? 1280, height: options.height ?? 900 },
        locale: 'en-GB',
        serviceWorkers: 'block',
    });
    const view = { context, refused: [], consoleErrors: [], pageErrors: [] };
    const refuse = (url) => view.refused.includes(url) || view.refused.push(url);
    await context.route('**/*', (route) => {
        const requested = route.request().url();
        if (local(requested)) return route.continue();
        refuse(requested);
        return route.abort('blockedbyclient');
    });
    // Requests the routing does not see (WebSockets, for one) are recorded too.
    context.on('request', (request) => local(request.url()) || refuse(request.url()));
    const page = await context.newPage();
    view.page = page;
    page.on('websocket', (socket) => refuse(socket.url()));
    page.on('console', (message) => {
        if (message.type() === 'error') view.consoleErrors.push(`${message.text()} (${message.location().url})`);
    });
    page.on('pageerror', (error) => view.pageErrors.push(error.message));
    if (options.media) await page.emulateMedia({ media: options.media });
    view.close = () => context.close();
    if (url) await page.goto(url, { waitUntil: 'load' });
    return view;
}

// What went wrong on a page: refused requests, console errors, page errors;
// empty when nothing did.
export function faults(view) {
    return [...view.refused.map((url) => `a network request to ${url}`),
            ...view.consoleErrors.map((text) => `a console error: ${text}`),
            ...view.pageErrors.map((text) => `a page error: ${text}`)];
}

// Screenshots of URL in light and dark, at 1x and 2x, as PREFIX-light.png,
// PREFIX-dark.png, PREFIX-light-2x.png, PREFIX-dark-2x.png; prepare(page),
// when given, runs before each. Returns the files written.
export async function screenshots(browser, url, prefix, { prepare, fullPage = true, ...options } = {}) {
    const written = [];
    for (const colorScheme of ['light', 'dark']) {
        for (const scale of [1, 2]) {
            const view = await openPage(browser, url, { ...options, colorScheme, scale });
            if (prepare) await prepare(view.page);
            const file = `${prefix}-${colorScheme}${scale === 2 ? '-2x' : ''}.png`;
            await view.page.screenshot({ path: file, fullPage });
            written.push(file);
            await view.close();
        }
    }
    return written;
}

// The width and height of a PNG file, from its header.
export function pngSize(file) {
    const bytes = fs.readFileSync(file);
    return { width: bytes.readUInt32BE(16), height: bytes.readUInt32BE(20) };
}
