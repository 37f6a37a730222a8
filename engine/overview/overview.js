// The overview of a Kelvane library: totals, a table of every run and a map of
// their tracks, made from the JSON in the page's #kelvane-runs element. Runs
// from file:// and makes no request beyond the files beside the page (and the
// map tiles, only when the library names a tile address).
//
// The JSON (written in place of @KELVANE_DATA@ in page.html, every "<" in it
// as \u003c):
//   { "format": 1,
//     "title": "Kelvane library",            optional
//     "made": "2026-12-09T08:00:00",         local time the page was made
//     "tiles": null, or { "url": "https://.../{z}/{x}/{y}.png", "attribution": "..." },
//     "runs": [ {                            in any order
//       "name": "20240105_01_Friday",        the day files' base name
//       "files": ["gpx", "txt", "svg"],      extensions of its day files present
//       "start": "2024-01-05T07:31:12",      local start, no offset
//       "sport": "running",                  the library's sport names
//       "distance": 10234.5,                 metres, or null
//       "moving": 3120,                      moving time in seconds, or null
//       "ascent": 85,                        metres, or null
//       "heart": 142,                        average heart rate, or null
//       "note": "Park loop",                 "" when none
//       "input": "export.zip: activities/1.fit.gz",
//       "track": "_p~iF~ps|U_ulLnnqC"        encoded polyline (precision 5) of
//     } ] }                                  the simplified track; "" without positions
'use strict';

(() => {
    const pageSize = 100;
    const footSports = new Set(['running', 'walking', 'hiking']);
    const sportColours = {
        running: '#e4572e', cycling: '#2f7ed8', swimming: '#00a3a3', walking: '#5fa83a',
        hiking: '#c28a1e', rowing: '#9b5de5', skiing: '#d6418f', multisport: '#8d7b68', other: '#8a8f98',
    };
    const spareColours = ['#3aa0c8', '#b0b33a', '#c8553a', '#6a7fdb', '#3ab08a'];
    // Dates are formatted by hand from these: Intl's formatters are slow
    // when asked twenty thousand times.
    const weekdays = Array.from({ length: 7 }, (_, d) =>
        new Date(Date.UTC(2000, 0, 2 + d)).toLocaleDateString(undefined, { weekday: 'short', timeZone: 'UTC' }));
    const months = Array.from({ length: 12 }, (_, m) =>
        new Date(Date.UTC(2000, m, 1)).toLocaleDateString(undefined, { month: 'long', timeZone: 'UTC' }));

    const byId = (id) => document.getElementById(id);
    const make = (tag, text, className) => {
        const element = document.createElement(tag);
        if (text !== undefined) element.textContent = text;
        if (className) element.className = className;
        return element;
    };

    let library;
    try {
        library = JSON.parse(byId('kelvane-runs').textContent);
    } catch (error) {
        byId('summary').textContent = 'The data of this page is damaged: ' + error.message;
        return;
    }

    // --- Numbers as people read them -------------------------------------
    const number = (digits) => new Intl.NumberFormat(undefined, {
        minimumFractionDigits: digits, maximumFractionDigits: digits });
    const whole = number(0), oneDigit = number(1);
    const none = '\u2013';
    const kilometres = (metres) => metres == null ? none : (metres >= 100000 ? whole : oneDigit).format(metres / 1000);
    const two = (n) => String(n).padStart(2, '0');
    const clock = (seconds) => {
        if (seconds == null) return none;
        const s = Math.round(seconds);
        return `${Math.floor(s / 3600)}:${two(Math.floor(s / 60) % 60)}:${two(s % 60)}`;
    };
    const hours = (seconds) => {
        const minutes = Math.round(seconds / 60);
        return `${whole.format(Math.floor(minutes / 60))} h ${two(minutes % 60)} min`;
    };
    const metres = (value) => value == null ? none : whole.format(value);
    const paceOrSpeed = (run) => {
        if (!run.speed) return none;
        if (!footSports.has(run.sport)) return `${oneDigit.format(run.speed * 3.6)} km/h`;
        const perKm = Math.round(1000 / run.speed);
        return `${Math.floor(perKm / 60)}:${two(perKm % 60)} /km`;
    };
    const colourOf = (sport) => {
        if (sportColours[sport]) return sportColours[sport];
        let hash = 0;
        for (const c of sport) hash = (hash * 31 + c.charCodeAt(0)) >>> 0;
        return spareColours[hash % spareColours.length];
    };

    // Google's encoded polyline, precision 5: [[latitude, longitude], ...].
    const decodeTrack = (text) => {
        const points = [];
        let at = 0, lat = 0, lng = 0;
        const next = () => {
            let result = 0, shift = 0, b;
            do {
                b = text.charCodeAt(at++) - 63;
                result |= (b & 0x1f) << shift;
                shift += 5;
            } while (b >= 0x20 && at < text.length);
            return result & 1 ? ~(result >> 1) : result >> 1;
        };
        while (at < text.length) {
            lat += next();
            lng += next();
            points.push([lat / 1e5, lng / 1e5]);
        }
        return points;
    };

    // --- The runs, with what sorting and filtering need -----------------
    const runs = (library.runs || []).map((given, index) => {
        const run = Object.assign({}, given, { index });
        const m = /^(\d{4})-(\d{2})-(\d{2})T(\d{2}):(\d{2})(?::(\d{2}))?/.exec(run.start || '') || [];
        const [year, month, day, hour, minute, second] = m.slice(1).map((v) => Number(v || 0));
        run.instant = Date.UTC(year, month - 1, day, hour, minute, second);
        run.year = String(year);
        run.month = month - 1;
        run.dayText = `${weekdays[new Date(run.instant).getUTCDay()]} ${m[1]}-${m[2]}-${m[3]}`;
        run.timeText = `${m[4]}:${m[5]}`;
        run.timeOfDay = hour * 3600 + minute * 60 + second;
        run.sport = run.sport || 'other';
        run.note = run.note || '';
        run.speed = run.distance > 0 && run.moving > 0 ? run.distance / run.moving : null;
        run.words = `${run.note}\n${run.input || ''}`.toLowerCase();
        return run;
    });
    const sortKeys = {
        day: (run) => run.instant, time: (run) => run.timeOfDay, sport: (run) => run.sport,
        distance: (run) => run.distance, moving: (run) => run.moving, speed: (run) => run.speed,
        ascent: (run) => run.ascent, heart: (run) => run.heart, note: (run) => run.note.toLowerCase(),
    };
    const years = [...new Set(runs.map((run) => run.year))].sort().reverse();
    const sports = [...new Set(runs.map((run) => run.sport))].sort();
    const made = /^(\d{4})-(\d{2})-(\d{2})T(\d{2}):(\d{2})/.exec(library.made || '');
    // When the page was made, on the same local clock as the runs' starts
    // (their instants are local times read as UTC); without it, now.
    const now = new Date();
    const madeInstant = made ? Date.UTC(made[1], made[2] - 1, made[3], made[4], made[5])
                             : Date.UTC(now.getFullYear(), now.getMonth(), now.getDate(), now.getHours(), now.getMinutes());
    const currentYear = new Date(madeInstant).getUTCFullYear();

    // --- The filter and its place in the address --------------------------
    const state = { year: '', sport: '', text: '', sort: 'day', descending: true, page: 0 };
    const readAddress = () => {
        const given = new URLSearchParams(location.hash.slice(1));
        state.year = years.includes(given.get('year')) ? given.get('year') : '';
        state.sport = sports.includes(given.get('sport')) ? given.get('sport') : '';
        state.text = given.get('q') || '';
        const sort = given.get('sort') || '-day';
        state.descending = sort.startsWith('-');
        state.sort = sortKeys[sort.replace(/^-/, '')] ? sort.replace(/^-/, '') : 'day';
        state.page = 0;
    };
    const writeAddress = () => {
        const parts = new URLSearchParams();
        if (state.sport) parts.set('sport', state.sport);
        if (state.year) parts.set('year', state.year);
        if (state.text) parts.set('q', state.text);
        if (state.sort !== 'day' || !state.descending) parts.set('sort', (state.descending ? '-' : '') + state.sort);
        const hash = parts.toString();
        if (hash === location.hash.slice(1)) return;
        history.replaceState(null, '', hash ? `#${hash}` : location.pathname + location.search);
    };
    const matches = (run, skip) =>
        (skip === 'year' || !state.year || run.year === state.year) &&
        (skip === 'sport' || !state.sport || run.sport === state.sport) &&
        (!state.text || run.words.includes(state.text.toLowerCase()));

    let shown = [];
    const select = () => {
        const key = sortKeys[state.sort];
        const direction = state.descending ? -1 : 1;
        shown = runs.filter((run) => matches(run));
        // Runs without the value go last either way; ties keep the day order.
        shown.sort((a, b) => {
            const x = key(a), y = key(b);
            if (x == null || y == null) return x == null ? (y == null ? b.instant - a.instant : 1) : -1;
            if (x < y) return -direction;
            if (x > y) return direction;
            return b.instant - a.instant;
        });
    };

    // --- Totals -------------------------------------------------------------
    const sum = (list) => list.reduce((total, run) => {
        total.runs += 1;
        total.distance += run.distance || 0;
        total.moving += run.moving || 0;
        total.ascent += run.ascent || 0;
        return total;
    }, { runs: 0, distance: 0, moving: 0, ascent: 0 });
    const totalCells = (total) => [whole.format(total.runs), kilometres(total.distance), hours(total.moving),
                                   whole.format(Math.round(total.ascent))];
    const fillTable = (table, heads, rows, current) => {
        const caption = table.querySelector('caption');
        table.replaceChildren(caption);
        const head = make('thead'), line = make('tr');
        heads.forEach((text, i) => {
            const th = make('th', text, i ? 'number' : '');
            th.scope = 'col';
            line.append(th);
        });
        head.append(line);
        const body = make('tbody');
        rows.forEach(([label, cells]) => {
            const tr = make('tr');
            if (label === current) tr.className = 'current';
            const th = make('th', label);
            th.scope = 'row';
            tr.append(th, ...cells.map((text) => make('td', text, 'number')));
            body.append(tr);
        });
        table.append(head, body);
    };
    const figures = ['Runs', 'Distance (km)', 'Moving time', 'Ascent (m)'];
    const renderTotals = () => {
        const forYear = runs.filter((run) => matches(run, 'year'));
        const yearOf = (year, until) => sum(forYear.filter((run) => run.year === String(year) &&
                                                            (until === undefined || run.instant <= until)));
        const lastYearSoFar = Date.UTC(currentYear - 1, new Date(madeInstant).getUTCMonth(),
                                       new Date(madeInstant).getUTCDate(), 23, 59, 59);
        const columns = [totalCells(yearOf(currentYear)), totalCells(yearOf(currentYear - 1, lastYearSoFar)),
                         totalCells(yearOf(currentYear - 1))];
        fillTable(byId('totals-years'), ['', `${currentYear} so far`, `${currentYear - 1} to the same day`,
                                          `${currentYear - 1}`],
                  figures.map((name, f) => [name, columns.map((column) => column[f])]));
        fillTable(byId('totals-year'), ['Year', ...figures],
                  years.map((year) => [year, totalCells(yearOf(year))]), state.year);
        const monthYear = state.year || String(currentYear);
        const inYear = forYear.filter((run) => run.year === monthYear);
        byId('totals-month').querySelector('caption').textContent = `By month of ${monthYear}`;
        fillTable(byId('totals-month'), ['Month', ...figures], months.map((name, m) => {
            const total = sum(inYear.filter((run) => run.month === m));
            return [name, total.runs ? totalCells(total) : [none, none, none, none]];
        }));
        const forSport = runs.filter((run) => matches(run, 'sport'));
        fillTable(byId('totals-sport'), ['Sport', ...figures],
                  sports.map((sport) => [sport, totalCells(sum(forSport.filter((run) => run.sport === sport)))]),
                  state.sport);
    };

    // --- The table of runs ------------------------------------------------
    const rows = byId('rows');
    const fileLabels = { txt: 'CSV (.txt)', svg: 'picture (.svg)' };
    const detailsOf = (run) => {
        const tr = make('tr', undefined, 'details');
        tr.id = `run-${run.index}-details`;
        const td = make('td');
        td.colSpan = 9;
        const files = run.files || [];
        if (files.includes('svg')) {
            const picture = make('img', undefined, 'picture');
            picture.src = `${run.name}.svg`;
            picture.alt = `Picture of the ${run.sport} of ${run.dayText}`;
            td.append(picture);
        }
        const facts = make('dl');
        const fact = (term, ...content) => {
            const dd = make('dd');
            dd.append(...content);
            facts.append(make('dt', term), dd);
        };
        const links = files.map((extension) => {
            const a = make('a', fileLabels[extension] || extension.toUpperCase());
            a.href = `${run.name}.${extension}`;
            return a;
        });
        fact('Day files', ...(links.length ? links.flatMap((a, i) => (i ? [', ', a] : [a])) : [none]));
        fact('Base name', run.name);
        fact('Local start', run.start);
        if (run.input) fact('Input', run.input);
        if (run.note) fact('Note', run.note);
        td.append(facts);
        tr.append(td);
        return tr;
    };
    const opened = new Set();
    const toggle = (run, button, open) => {
        const row = button.closest('tr');
        const next = row.nextElementSibling;
        const isOpen = next && next.classList.contains('details');
        if (open === undefined) open = !isOpen;
        if (open && !isOpen) row.after(detailsOf(run));
        if (!open && isOpen) next.remove();
        open ? opened.add(run.index) : opened.delete(run.index);
        button.setAttribute('aria-expanded', String(open));
        if (open) button.setAttribute('aria-controls', `run-${run.index}-details`);
        else button.removeAttribute('aria-controls');
    };
    const rowOf = (run) => {
        const tr = make('tr');
        tr.id = `run-${run.index}`;
        const first = make('td');
        const button = make('button', run.dayText, 'open');
        button.type = 'button';
        button.setAttribute('aria-expanded', 'false');
        button.addEventListener('click', () => toggle(run, button));
        first.append(button);
        const sport = make('td', undefined, 'sport');
        const swatch = make('span', undefined, 'swatch');
        swatch.style.background = colourOf(run.sport);
        sport.append(swatch, run.sport);
        tr.append(first, make('td', run.timeText), sport, make('td', kilometres(run.distance), 'number'),
                  make('td', clock(run.moving), 'number'), make('td', paceOrSpeed(run), 'number'),
                  make('td', metres(run.ascent), 'number'), make('td', metres(run.heart), 'number'),
                  make('td', run.note, 'note'));
        if (opened.has(run.index)) queueMicrotask(() => toggle(run, button, true));
        return tr;
    };
    const pages = () => Math.max(1, Math.ceil(shown.length / pageSize));
    const renderRows = (all) => {
        state.page = Math.min(state.page, pages() - 1);
        const first = all ? 0 : state.page * pageSize;
        const last = all ? shown.length : Math.min(shown.length, first + pageSize);
        const fragment = document.createDocumentFragment();
        for (let i = first; i < last; ++i) fragment.append(rowOf(shown[i]));
        rows.replaceChildren(fragment);
        byId('status').textContent = shown.length
            ? `${whole.format(shown.length)} of ${whole.format(runs.length)} runs` +
              (shown.length > pageSize && !all ? `, rows ${whole.format(first + 1)} to ${whole.format(last)}` : '')
            : runs.length ? 'No run matches the filter.' : 'The library holds no run yet.';
        byId('page-status').textContent = `Page ${state.page + 1} of ${pages()}`;
        byId('page-previous').disabled = state.page === 0;
        byId('page-next').disabled = state.page >= pages() - 1;
        byId('pager').hidden = pages() === 1;
        document.querySelectorAll('#table th[data-key]').forEach((th) => {
            if (th.dataset.key === state.sort) th.setAttribute('aria-sort', state.descending ? 'descending' : 'ascending');
            else th.removeAttribute('aria-sort');
        });
    };

    // --- The map ------------------------------------------------------------
    let map = null, lines = null;
    const tracks = new Map();
    const mapElement = byId('map');
    const makeMap = () => {
        if (typeof L === 'undefined') {
            mapElement.textContent = 'The map needs .kelvane/leaflet.js beside this page.';
            mapElement.classList.add('missing');
            return;
        }
        map = L.map(mapElement, { preferCanvas: true, attributionControl: false, zoomSnap: 0.25,
                                  worldCopyJump: false });
        const tiles = library.tiles;
        if (tiles && tiles.url) {
            L.tileLayer(tiles.url, { maxZoom: 19, attribution: tiles.attribution || '' }).addTo(map);
            L.control.attribution({ prefix: false }).addTo(map);
        }
        // For whoever inspects the page (and its tests): the Leaflet map.
        mapElement.leafletMap = map;
        map.setView([20, 0], 1);
        map.on('zoomend', () => lines && renderDots());
    };
    // The colours of the sports drawn on the map, and the sports of the
    // filter that have no line there.
    const renderLegend = (list) => {
        const drawn = new Set(), undrawn = new Set();
        for (const run of list) (run.track ? drawn : undrawn).add(run.sport);
        const legend = byId('legend');
        legend.replaceChildren();
        [...drawn].sort().forEach((sport) => {
            const item = make('li');
            const swatch = make('span', undefined, 'swatch');
            swatch.style.background = colourOf(sport);
            item.append(swatch, sport);
            legend.append(item);
        });
        const trackless = [...undrawn].filter((sport) => !drawn.has(sport)).sort();
        if (trackless.length)
            legend.append(make('li', `no tracks: ${trackless.join(', ')}`, 'trackless'));
    };
    // A run's line, its points thinned to at most MOST: with thousands of
    // runs in the filter the map draws a few points of each, and more as
    // the filter narrows.
    const trackOf = (run, most) => {
        if (!run.track) return null;
        if (!run.points) run.points = decodeTrack(run.track);
        const step = Math.max(1, Math.ceil(run.points.length / most));
        const cached = tracks.get(run.index);
        if (cached && cached.step === step) return cached.line;
        const points = step === 1 ? run.points
                                  : run.points.filter((_, i) => i % step === 0 || i === run.points.length - 1);
        // A run at one place is a dot: a line of one point draws nothing.
        const style = { color: colourOf(run.sport), weight: 2.5, opacity: 0.85 };
        const line = points.length > 1 && points.some((p) => p[0] !== points[0][0] || p[1] !== points[0][1])
                         ? L.polyline(points, style) : L.circleMarker(points[0], { ...style, radius: 4 });
        line.bindTooltip(`${run.dayText} ${run.timeText}, ${run.sport}`, { sticky: true });
        line.on('click', () => openRun(run));
        tracks.set(run.index, { step, line });
        return line;
    };
    // Leaflet draws a line at whole pixels, so a track smaller than a pixel
    // at the map's zoom would draw nothing: it gets a dot as well.
    let dots = null;
    const dotOf = new Map();
    const renderDots = () => {
        const group = L.featureGroup();
        lines.eachLayer((line) => {
            if (!line.getLatLngs) return; // a dot of its own
            const bounds = line.getBounds();
            const a = map.latLngToLayerPoint(bounds.getSouthWest()), b = map.latLngToLayerPoint(bounds.getNorthEast());
            if (Math.abs(b.x - a.x) >= 1 || Math.abs(b.y - a.y) >= 1) return;
            let dot = dotOf.get(line);
            if (!dot) {
                dot = L.circleMarker(bounds.getCenter(), { radius: 3, stroke: false, fillColor: line.options.color,
                                                           fillOpacity: line.options.opacity });
                dot.bindTooltip(line.getTooltip().getContent(), { sticky: true });
                dot.on('click', () => line.fire('click'));
                dotOf.set(line, dot);
            }
            group.addLayer(dot);
        });
        if (dots) map.removeLayer(dots);
        dots = group.addTo(map);
    };
    const pointBudget = 300000, chunk = 1000;
    let drawing = 0;
    // Draws the lines of the runs shown in chunks, so that the page answers
    // meanwhile, and puts them on the map at once.
    const renderMap = () => {
        if (!map) return;
        const generation = ++drawing;
        const list = shown.slice();
        const most = Math.max(12, Math.floor(pointBudget / Math.max(1, list.length)));
        const group = L.featureGroup();
        let at = 0;
        const step = () => {
            if (generation !== drawing) return;
            for (const end = Math.min(list.length, at + chunk); at < end; ++at) {
                const line = trackOf(list[at], most);
                if (line) group.addLayer(line);
            }
            if (at < list.length) {
                setTimeout(step, 0);
                return;
            }
            if (lines) {
                map.removeLayer(lines);
                lines.clearLayers();
            }
            lines = group.addTo(map);
            const count = group.getLayers().length;
            mapElement.setAttribute('aria-label', `Map of the tracks of ${whole.format(count)} runs`);
            renderLegend(list);
            // Placed at once, so that the count tells the lines are where they stay.
            if (count) map.fitBounds(group.getBounds(), { padding: [16, 16], maxZoom: 16, animate: false });
            renderDots();
            mapElement.dataset.lines = String(count);
            performance.mark('kelvane-map');
        };
        step();
    };

    // Shows the page that holds RUN, opens its row and moves the focus there.
    const openRun = (run) => {
        const at = shown.indexOf(run);
        if (at < 0) return;
        state.page = Math.floor(at / pageSize);
        opened.add(run.index);
        renderRows();
        const button = document.querySelector(`#run-${run.index} button.open`);
        if (button) {
            button.scrollIntoView({ block: 'center' });
            button.focus({ preventScroll: true });
        }
    };

    // --- Wiring -------------------------------------------------------------
    const yearChoice = byId('filter-year'), sportChoice = byId('filter-sport'), text = byId('filter-text');
    years.forEach((year) => yearChoice.append(new Option(year, year)));
    sports.forEach((sport) => sportChoice.append(new Option(sport, sport)));
    const showState = () => {
        yearChoice.value = state.year;
        sportChoice.value = state.sport;
        if (text.value !== state.text) text.value = state.text;
    };
    let mapDue = 0;
    const refresh = ({ address = true } = {}) => {
        select();
        renderRows();
        renderTotals();
        if (address) writeAddress();
        // The map follows once the rows are on the screen.
        cancelAnimationFrame(mapDue);
        mapDue = requestAnimationFrame(() => setTimeout(renderMap, 0));
    };
    const changed = () => {
        state.year = yearChoice.value;
        state.sport = sportChoice.value;
        state.text = text.value.trim();
        state.page = 0;
        opened.clear();
        refresh();
    };
    yearChoice.addEventListener('change', changed);
    sportChoice.addEventListener('change', changed);
    let typing = 0;
    text.addEventListener('input', () => {
        clearTimeout(typing);
        typing = setTimeout(changed, 200);
    });
    byId('filter').addEventListener('submit', (event) => {
        event.preventDefault();
        clearTimeout(typing);
        changed();
    });
    byId('filter-clear').addEventListener('click', () => {
        yearChoice.value = sportChoice.value = text.value = '';
        changed();
    });
    document.querySelectorAll('#table th[data-key] button').forEach((button) => {
        button.addEventListener('click', () => {
            const key = button.parentElement.dataset.key;
            // Numbers and days first from the greatest, words from A.
            state.descending = key === state.sort ? !state.descending : !['sport', 'note'].includes(key);
            state.sort = key;
            state.page = 0;
            refresh();
            button.focus();
        });
    });
    byId('page-previous').addEventListener('click', () => { --state.page; renderRows(); });
    byId('page-next').addEventListener('click', () => { ++state.page; renderRows(); });
    window.addEventListener('hashchange', () => {
        readAddress();
        showState();
        refresh({ address: false });
    });
    // Printed: the totals and every run in the filter.
    window.addEventListener('beforeprint', () => renderRows(true));
    window.addEventListener('afterprint', () => renderRows());

    if (library.title) {
        document.title = library.title;
        byId('title').textContent = library.title;
    }
    byId('summary').textContent = runs.length
        ? `${whole.format(runs.length)} runs, ${years[years.length - 1]} to ${years[0]}` +
          (library.made ? `; page made ${library.made.replace('T', ' ').slice(0, 16)}` : '')
        : 'The library holds no run yet.';
    readAddress();
    showState();
    select();
    renderRows();
    performance.mark('kelvane-rows');
    renderTotals();
    requestAnimationFrame(() => setTimeout(() => {
        makeMap();
        renderMap();
    }, 0));
})();
