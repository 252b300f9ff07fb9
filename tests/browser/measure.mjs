// Measurements of the web page in headless Chromium, printed and written to
// build-web/shots/measurements.json, with screenshots of the page into build-web/shots/:
//   node tests/browser/measure.mjs     (ZARVO_NATIVE_BUILD and ZARVO_WEB_SITE as for run)
// - the download: every file the page fetched, gzipped (level 9), with and without the fonts;
// - the time to the first frame of a story from a warm cache (the second load in one browser);
// - frames per second from the page's own counter (#fps) while transitions run;
// - screenshots on a desktop and a phone-sized viewport: the empty page, the demo playing, the
//   settings menu, the backlog and a box.
import { mkdirSync, readdirSync, readFileSync, statSync, writeFileSync } from 'node:fs';
import { join, relative } from 'node:path';
import { gzipSync } from 'node:zlib';
import {
  launchBrowser,
  openPage,
  paths,
  root,
  screenPoint,
  startServer,
  steadyScreen,
  waitForColor,
  waitForState,
} from './harness.mjs';

const shots = join(root, 'build-web/shots');
mkdirSync(shots, { recursive: true });
const server = await startServer();
const browser = await launchBrowser();
const results = {};
const isFont = (path) => /\.(ttf|otf|ttc|woff2?)$/i.test(path) || /fonts?\//i.test(path);
const gz = (file) => gzipSync(readFileSync(file), { level: 9 }).length;

// The site's files the page fetched (by URL path), with their sizes.
function sizes(urls) {
  const files = [...urls]
    .map((u) => new URL(u))
    .filter((u) => u.origin === server.origin && !u.pathname.startsWith('/stories/'))
    .map((u) => join(paths.site, decodeURIComponent(u.pathname === '/' ? '/index.html' : u.pathname)))
    .filter((f) => {
      try {
        return statSync(f).isFile();
      } catch {
        return false;
      }
    });
  const sum = (list, f) => list.reduce((n, x) => n + f(x), 0);
  const fonts = files.filter(isFont);
  const other = files.filter((f) => !isFont(f));
  return {
    files: files.map((f) => ({ file: relative(paths.site, f), bytes: statSync(f).size, gzipped: gz(f) })),
    gzippedWithoutFonts: sum(other, gz),
    gzippedWithFonts: sum(files, gz),
    bytesWithFonts: sum(files, (f) => statSync(f).size),
  };
}

function siteFiles(dir = paths.site) {
  return readdirSync(dir, { withFileTypes: true }).flatMap((e) =>
    e.isDirectory() ? siteFiles(join(dir, e.name)) : [join(dir, e.name)],
  );
}

// 1. Download size: what a story's first frame needs, and the whole site.
{
  const context = await browser.newContext();
  const page = await context.newPage();
  const fetched = new Set();
  page.on('requestfinished', (r) => fetched.add(r.url()));
  await page.goto(`${server.origin}/`);
  await waitForState(page, 'empty');
  await page.waitForTimeout(1000);
  results.emptyPage = sizes(fetched);
  await page.goto(`${server.origin}/?story=/stories/choice.zp7`);
  await waitForState(page, 'playing');
  await waitForColor(page, 12, 12, [0x80, 0x80, 0x80]);
  results.firstStory = sizes(fetched);
  const all = siteFiles();
  results.site = {
    gzippedWithoutFonts: all.filter((f) => !isFont(f)).reduce((n, f) => n + gz(f), 0),
    gzippedWithFonts: all.reduce((n, f) => n + gz(f), 0),
    fonts: all.filter(isFont).map((f) => relative(paths.site, f)),
  };
  await context.close();
}

// 2. The first frame from a warm cache: the choice story's grey background on the canvas,
// timed from the start of the navigation by the page's clock.
{
  const context = await browser.newContext();
  await context.addInitScript(() => {
    const probe = document.createElement('canvas');
    probe.width = probe.height = 1;
    const look = () => {
      const canvas = document.getElementById('canvas');
      if (canvas && canvas.width > 12 && canvas.height > 12) {
        const g = probe.getContext('2d', { willReadFrequently: true });
        g.clearRect(0, 0, 1, 1);
        g.drawImage(canvas, 12 * (canvas.width / 640), 12 * (canvas.height / 480), 1, 1, 0, 0, 1, 1);
        const [r, gr, b, a] = g.getImageData(0, 0, 1, 1).data;
        if (a > 0 && Math.abs(r - 0x80) < 8 && Math.abs(gr - 0x80) < 8 && Math.abs(b - 0x80) < 8) {
          window.zarvoFirstFrame = performance.now();
          return;
        }
      }
      requestAnimationFrame(look);
    };
    requestAnimationFrame(look);
  });
  const times = [];
  for (let i = 0; i < 4; ++i) {
    const page = await context.newPage();
    await page.goto(`${server.origin}/?story=/stories/choice.zp7`);
    await waitForState(page, 'playing');
    await waitForColor(page, 12, 12, [0x80, 0x80, 0x80]);
    const t = await page.waitForFunction(() => window.zarvoFirstFrame, null, { timeout: 30000 })
      .then((h) => h.jsonValue())
      .catch(() => null);
    const mark = await page.evaluate(
      () => performance.getEntriesByName('zarvoplay-first-frame')[0]?.startTime ?? null,
    );
    times.push({ seen: t === null ? null : Math.round(t), pageMark: mark === null ? null : Math.round(mark) });
    await page.close();
  }
  // "seen": the story's first picture read back from the canvas; "pageMark": the page's own
  // mark of its first frame drawn.
  results.firstFrameMs = { cold: times[0], warm: times.slice(1) };
}

// 3. Frames per second while transitions run, from the page's own counter, a reading every
// half second for eight seconds; and with the story idle for comparison.
async function fpsReadings(query, seconds) {
  const context = await browser.newContext();
  const page = await openPage(context, server.origin, query);
  await waitForState(page, 'playing');
  await page.waitForTimeout(1500);
  const readings = [];
  for (let i = 0; i < seconds * 2; ++i) {
    await page.waitForTimeout(500);
    const text = await page.locator('#fps').textContent();
    const n = parseFloat(text);
    if (!Number.isNaN(n)) readings.push(n);
  }
  await context.close();
  readings.sort((a, b) => a - b);
  return {
    readings: readings.length,
    min: readings[0],
    median: readings[Math.floor(readings.length / 2)],
    max: readings[readings.length - 1],
  };
}
results.fpsDuringTransitions = await fpsReadings('?story=/stories/transition.zp7', 8);
results.fpsIdleChoice = await fpsReadings('?story=/stories/choice.zp7', 4);

// 4. Screenshots.
// The demo as the site offers it: a .zip of its folder.
const demoFiles = join(paths.site, 'demo/demo.zip');
writeFileSync(join(shots, 'measurements.json'), JSON.stringify(results, null, 2) + '\n');
const viewports = {
  desktop: { viewport: { width: 1280, height: 800 } },
  phone: { viewport: { width: 390, height: 844 }, hasTouch: true, isMobile: true, deviceScaleFactor: 3 },
};
for (const [name, options] of Object.entries(viewports)) {
  const context = await browser.newContext(options);
  const shot = (page, what) => page.screenshot({ path: join(shots, `${what}-${name}.png`) });
  let page = await openPage(context, server.origin);
  await waitForState(page, 'empty');
  await page.waitForTimeout(500);
  await shot(page, 'empty');

  await page.locator('#open-file').setInputFiles(demoFiles);
  await waitForState(page, 'playing');
  await page.waitForTimeout(2500);
  // Past the first message (the backlog shows finished ones only), into the second.
  const p = await screenPoint(page, 320, 100);
  for (let i = 0; i < 5; ++i) {
    await page.mouse.click(p.x, p.y);
    await page.waitForTimeout(1500);
  }
  await steadyScreen(page).catch(() => {});
  await shot(page, 'demo');
  await page.keyboard.press('PageUp');
  await steadyScreen(page).catch(() => {});
  await shot(page, 'backlog');
  await page.keyboard.press('Escape');
  await page.waitForTimeout(500);
  await page.keyboard.press('Escape');
  await steadyScreen(page).catch(() => {});
  await shot(page, 'menu');
  await page.close();

  // The reading story's question before its first save.
  page = await openPage(context, server.origin, '?story=/stories/reading.zp7');
  await waitForState(page, 'playing');
  const box = page.locator('#box');
  const q = await screenPoint(page, 320, 100);
  for (let i = 0; i < 8 && !(await box.isVisible()); ++i) {
    await page.mouse.click(q.x, q.y);
    await page.waitForTimeout(400);
  }
  await page.waitForTimeout(300);
  await shot(page, 'box');
  await context.close();
}
results.shots = readdirSync(shots).filter((f) => f.endsWith('.png')).map((f) => join(shots, f));

await browser.close();
server.close();
writeFileSync(join(shots, 'measurements.json'), JSON.stringify(results, null, 2) + '\n');
console.log(JSON.stringify(results, null, 2));
