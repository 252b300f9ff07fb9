// The web page in Debian's Chromium: stories opened every way the page offers, played by
// keyboard, mouse and touch, its overlays, saves across a reload, a damaged package, loading
// progress and sound. tests/browser/run runs it with the builds it needs.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import {
  copyFileSync,
  mkdirSync,
  mkdtempSync,
  readdirSync,
  readFileSync,
  rmSync,
  writeFileSync,
} from 'node:fs';
import { tmpdir } from 'node:os';
import { basename, join } from 'node:path';
import {
  launchBrowser,
  near,
  openPage,
  paths,
  root,
  screenImage,
  screenPoint,
  startServer,
  steadyScreen,
  waitForColor,
  waitForState,
} from './harness.mjs';

// The test stories' colours (tests/browser/make_stories.cpp).
const grey = [0x80, 0x80, 0x80];
const red = [0xc0, 0, 0];
const green = [0, 0xa0, 0];
const blue = [0, 0, 0xc0];
const black = [0, 0, 0];
// A corner no message, choice or overlay of the stories covers.
const corner = [12, 12];

let server;
let browser;
let work;

before(async () => {
  work = mkdtempSync(join(tmpdir(), 'zarvo-browser-'));
  server = await startServer();
  server.mount('/work/', work);
  browser = await launchBrowser();
});

after(async () => {
  await browser?.close();
  server?.close();
  if (work) rmSync(work, { recursive: true, force: true });
});

// The native headless player with `events` on a copy of `files`, the first the story: its
// trace, final screen and exit status.
function playNative(files, events, name) {
  const dir = join(work, name);
  const home = join(dir, 'home');
  mkdirSync(join(dir, 'story'), { recursive: true });
  mkdirSync(home);
  for (const f of files) copyFileSync(f, join(dir, 'story', basename(f)));
  writeFileSync(join(dir, 'events.txt'), events);
  const run = spawnSync(
    join(paths.native, 'zarvoplay'),
    ['--headless', '--events', 'events.txt', '--max-time', '300000', '--shot', 'end.png',
      '--trace', 'trace.txt', join('story', basename(files[0]))],
    { cwd: dir, env: { PATH: process.env.PATH, HOME: home, LANG: 'C.UTF-8' }, encoding: 'utf8' },
  );
  return {
    status: run.status,
    trace: readFileSync(join(dir, 'trace.txt'), 'utf8'),
    shot: (() => {
      try {
        return readFileSync(join(dir, 'end.png'));
      } catch {
        return null;
      }
    })(),
  };
}

// The text of a box without its line breaks (a trace writes them as "\n").
const flat = (text) => text.replace(/\\n/g, '').replace(/\s+/g, '');

async function storyPage(story, options = {}) {
  const context = await browser.newContext(options);
  const page = await openPage(context, server.origin, `?story=/stories/${story}`);
  return { context, page };
}

// Waits until the choice of three is drawn over the grey screen.
async function choiceShown(page) {
  await waitForState(page, 'playing');
  await waitForColor(page, ...corner, grey);
  const end = Date.now() + 20000;
  for (;;) {
    const image = await screenImage(page);
    if (image.count(170, 172, 260, 230, (c) => c[0] < 0x40) > 100) return;
    if (Date.now() > end) throw new Error('no choice was drawn');
    await page.waitForTimeout(100);
  }
}

describe('the page', () => {
  test('empty, it offers a story to open and the page controls', async () => {
    const context = await browser.newContext();
    const page = await openPage(context, server.origin);
    assert.equal(await waitForState(page, 'empty'), 'empty');
    for (const id of ['canvas', 'open-file', 'open-folder', 'fullscreen', 'export-saves', 'import-saves'])
      assert.equal(await page.locator(`#${id}`).count(), 1, `#${id}`);
    assert.equal(await page.locator('#open-file').getAttribute('type'), 'file');
    assert.notEqual(await page.locator('#open-folder').getAttribute('webkitdirectory'), null);
    assert.deepEqual(page.errors, []);
    await context.close();
  });

  test('the demo picked through the file input plays to its end as the native player does', async () => {
    // The clicks of scripts/demo-events, without its screenshots.
    const events = join(work, 'demo-events.txt');
    const made = spawnSync('bash', [join(root, 'scripts/demo-events'), events, '.']);
    assert.equal(made.status, 0);
    const clicks = readFileSync(events, 'utf8').split('\n').filter((l) => l.includes(' click ')).join('\n') + '\n';
    writeFileSync(events, clicks);
    // The page opens one file: the demo packed by the native build's zarvopack.
    const pack = join(work, 'demo-pack');
    mkdirSync(pack);
    const names = readdirSync(paths.demo).filter((f) => /\.(png|wav)$/.test(f));
    for (const f of names) copyFileSync(join(paths.demo, f), join(pack, f));
    copyFileSync(join(paths.demo, 'demo.zp7'), join(pack, 'zarvo.zf7'));
    const demo = join(work, 'demo.zp7');
    const packed = spawnSync(join(paths.native, 'tools/zarvopack/zarvopack'), ['create', demo, '--compress', 'zarvo.zf7', ...names], { cwd: pack });
    assert.equal(packed.status, 0, String(packed.stderr));
    const native = playNative([demo], clicks, 'demo-native');
    assert.equal(native.status, 0, 'the native run ends the story');
    assert.ok(native.shot, 'the native run wrote its screen');

    const context = await browser.newContext();
    const page = await openPage(context, server.origin, '?events=/work/demo-events.txt&trace=1');
    await waitForState(page, 'empty');
    await page.locator('#open-file').setInputFiles(demo);
    assert.equal(await waitForState(page, ['ended', 'error'], 240000), 'ended');
    const shot = await page.locator('#shot').evaluate((e) => e.textContent || e.src || e.href || '');
    assert.match(shot, /^data:image\/png;base64,/);
    const png = Buffer.from(shot.slice(shot.indexOf(',') + 1), 'base64');
    assert.ok(png.equals(native.shot), 'the final screen is the native one, byte for byte');
    const trace = await page.locator('#trace').evaluate((e) => e.textContent);
    assert.equal(trace.trim(), native.trace.trim());
    assert.deepEqual(page.errors, []);
    await context.close();
  });

  test('a choice is made by keyboard, by mouse and by touch', async (t) => {
    await t.test('keyboard', async () => {
      const { context, page } = await storyPage('choice.zp7');
      await choiceShown(page);
      // As the native player: the first Down points at the first answer.
      for (let i = 0; i < 3; ++i) await page.keyboard.press('ArrowDown');
      await page.keyboard.press('Enter');
      await waitForColor(page, ...corner, blue);
      await page.keyboard.press('Enter');
      assert.equal(await waitForState(page, ['ended', 'error']), 'ended');
      await context.close();
    });
    await t.test('mouse', async () => {
      const { context, page } = await storyPage('choice.zp7');
      await choiceShown(page);
      const p = await screenPoint(page, 320, 200);
      await page.mouse.click(p.x, p.y);
      await waitForColor(page, ...corner, green);
      await page.mouse.click(p.x, p.y);
      assert.equal(await waitForState(page, ['ended', 'error']), 'ended');
      await context.close();
    });
    await t.test('touch', async () => {
      const { context, page } = await storyPage('choice.zp7', {
        hasTouch: true,
        isMobile: true,
        viewport: { width: 390, height: 844 },
      });
      await choiceShown(page);
      const p = await screenPoint(page, 320, 180);
      await page.touchscreen.tap(p.x, p.y);
      await waitForColor(page, ...corner, red);
      await page.touchscreen.tap(p.x, p.y);
      assert.equal(await waitForState(page, ['ended', 'error']), 'ended');
      await context.close();
    });
  });

  test('the backlog and the settings menu open over the story and close again', async () => {
    const { context, page } = await storyPage('reading.zp7');
    await waitForState(page, 'playing');
    await waitForColor(page, ...corner, grey);
    const start = await screenPoint(page, 320, 100);
    await page.mouse.click(start.x, start.y);
    await waitForColor(page, ...corner, red);
    await steadyScreen(page);
    await page.mouse.click(start.x, start.y);
    // The second message, typed out: the screen the overlays must give back, but for the
    // blinking mark of the wait after the text.
    const mark = [280, 340, 640, 480];
    const reading = await steadyScreen(page);
    assert.ok(near(reading.at(...corner), red));
    assert.ok(reading.count(40, 352, 280, 380, (c) => c[0] > 0xf0 && c[1] > 0xf0) > 50, 'a message shows');

    const overlay = async (open, name) => {
      await open();
      const shown = await steadyScreen(page);
      assert.ok(!shown.sameExcept(reading, mark), `the ${name} shows`);
      await page.keyboard.press('Escape');
      const back = await steadyScreen(page);
      assert.ok(back.sameExcept(reading, mark), `the ${name} closes and the story's screen is back`);
    };
    await overlay(() => page.keyboard.press('PageUp'), 'backlog (Page Up)');
    await overlay(async () => {
      await page.mouse.move(start.x, start.y);
      await page.mouse.wheel(0, -120);
    }, 'backlog (wheel)');
    await overlay(() => page.keyboard.press('Escape'), 'settings menu');
    assert.equal(await page.evaluate(() => document.body.dataset.state), 'playing');
    assert.deepEqual(page.errors, []);
    await context.close();
  });

  test('a save made, the page reloaded, the save loaded', async () => {
    const { context, page } = await storyPage('reading.zp7');
    await waitForState(page, 'playing');
    await waitForColor(page, ...corner, grey);
    // "Start" (the first answer), then past both messages (a click finishes the typing,
    // another goes on).
    const start = await screenPoint(page, 320, 100);
    const box = page.locator('#box');
    for (let i = 0; i < 10 && !(await box.isVisible()); ++i) {
      await page.mouse.click(start.x, start.y);
      await page.waitForTimeout(400);
    }
    // The first save asks before it makes the story's save folder.
    await box.waitFor({ state: 'visible' });
    const answers = box.locator('button');
    assert.equal(await answers.count(), 2, 'a yes-or-no question');
    await answers.filter({ hasText: /はい|Yes/i }).click();
    await box.waitFor({ state: 'hidden' });
    await waitForColor(page, ...corner, green);

    await page.reload();
    await waitForState(page, 'playing');
    await waitForColor(page, ...corner, grey);
    // "Load" (the second answer): the saved green at once, where a start shows red.
    const load = await screenPoint(page, 320, 120);
    await page.mouse.click(load.x, load.y);
    await waitForColor(page, ...corner, green);
    assert.equal(await box.isVisible(), false, 'nothing went wrong');
    assert.deepEqual(page.errors, []);
    await context.close();
  });

  test('a damaged package gives its message', async () => {
    const native = playNative([join(paths.stories, 'damaged.zp7')], '', 'damaged-native');
    const first = native.trace.split('\n').find((l) => l.includes(' box '));
    assert.ok(first, 'the native player says something');
    const message = first.slice(first.indexOf(': ') + 2);

    const { context, page } = await storyPage('damaged.zp7');
    const box = page.locator('#box');
    await box.waitFor({ state: 'visible', timeout: 60000 });
    assert.ok(flat(await box.innerText()).includes(flat(message)), `#box says "${message}"`);
    // Whatever the answers, the story cannot be played.
    while ((await page.evaluate(() => document.body.dataset.state)) === 'loading' || (await box.isVisible())) {
      if (await box.isVisible()) await box.locator('button').first().click();
      await page.waitForTimeout(200);
    }
    assert.equal(await waitForState(page, ['error', 'ended']), native.status === 0 ? 'ended' : 'error');
    await context.close();
  });

  test('a story by link shows its progress while it loads', async () => {
    const context = await browser.newContext();
    const page = await context.newPage();
    await page.goto(`${server.origin}/?story=/slow/stories/sound.zp7`);
    const seen = [];
    let state;
    do {
      const now = await page.evaluate(() => {
        const p = document.getElementById('progress');
        const shown = p && p.getClientRects().length > 0 && getComputedStyle(p).visibility !== 'hidden';
        return { state: document.body.dataset.state, shown, value: p?.value, max: p?.max };
      });
      state = now.state;
      if (now.state === 'loading' && now.shown) seen.push(now.value / now.max);
      await page.waitForTimeout(50);
    } while (state === 'loading' || state === 'empty' || state === undefined);
    assert.equal(state, 'playing');
    const between = seen.filter((f) => f > 0 && f < 1);
    assert.ok(new Set(between).size >= 3, `the bar moves while the story comes: ${seen.join(' ')}`);
    for (let i = 1; i < seen.length; ++i)
      assert.ok(seen[i] >= seen[i - 1], `and never goes back: ${seen.map((f) => f.toFixed(2)).join(' ')}`);
    assert.equal(await page.locator('#progress').isVisible(), false, 'the bar goes once it is there');
    await context.close();
  });

  test('sound starts after the first click: Ogg Vorbis music, a WAV, MIDI music', async () => {
    const { context, page } = await storyPage('sound.zip');
    await waitForState(page, 'playing');
    await waitForColor(page, ...corner, grey);
    const level = () => page.evaluate(() => globalThis.zarvoAudioLevel());
    const waitForLevel = async (test, what, timeout = 8000) => {
      const end = Date.now() + timeout;
      let l;
      do {
        l = await level();
        if (test(l)) return l;
        await page.waitForTimeout(100);
      } while (Date.now() < end);
      throw new Error(`${what}: the level stays at ${l}`);
    };
    // The music has been asked for; nothing is heard before the reader has clicked.
    await page.waitForTimeout(1500);
    assert.ok((await level()) < 1e-3, 'silent before the first click');
    const canvas = await screenPoint(page, 320, 240);
    await page.mouse.click(canvas.x, canvas.y);
    await waitForColor(page, ...corner, red);
    await waitForLevel((l) => l > 0.01, 'the Ogg Vorbis music');
    await page.mouse.click(canvas.x, canvas.y);
    await waitForColor(page, ...corner, green);
    await waitForLevel((l) => l > 0.01, 'the WAV sound', 4000);
    // When the sound has ended the story goes on to black, in silence.
    await waitForColor(page, ...corner, black, 15000);
    await waitForLevel((l) => l < 1e-3, 'silence after the sound');
    await page.mouse.click(canvas.x, canvas.y);
    await waitForColor(page, ...corner, blue);
    await waitForLevel((l) => l > 0.01, 'the MIDI music');
    await page.mouse.click(canvas.x, canvas.y);
    await waitForColor(page, ...corner, black);
    await waitForLevel((l) => l < 1e-3, 'silence after the music stopped');
    assert.deepEqual(page.errors, []);
    await context.close();
  });
});
