// Plays the test media through the browser's players in chromium (headless, with the autoplay
// policy of a real browser) and measures what is heard with zarvoAudioLevel():
//   node check.mjs BUILD_DIR SOURCE_DIR
// Skips (77) without chromium, playwright-core or the synthesizer's npm package (scripts/setup
// --web installs them). playwright-core is looked up in ZARVO_PLAYWRIGHT_CORE, tests/browser and
// web/node_modules.
import { execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

const [buildDir, sourceDir] = process.argv.slice(2);
const skip = (why) => {
  console.log(`web audio check skipped: ${why}`);
  process.exit(77);
};
const which = (name) => {
  try {
    return execFileSync('sh', ['-c', `command -v ${name}`]).toString().trim();
  } catch {
    return '';
  }
};

const chromium = process.env.CHROMIUM || which('chromium');
if (!chromium) skip('no chromium');
let playwright = null;
for (const dir of [process.env.ZARVO_PLAYWRIGHT_CORE, join(sourceDir, 'tests/browser'), join(sourceDir, 'web')]) {
  if (!dir) continue;
  try {
    playwright = createRequire(join(dir, 'x.js'))('playwright-core');
    break;
  } catch {}
}
if (!playwright) skip('no playwright-core');
const synthDir = join(sourceDir, 'web/node_modules/js-synthesizer');
if (!existsSync(synthDir)) skip('no js-synthesizer (npm ci in web/)');
const soundFont = '/usr/share/sounds/sf2/TimGM6mb.sf2';
if (!existsSync(soundFont)) skip('no TimGM6mb SoundFont');

const fluid = readdirSync(join(synthDir, 'externals'))
  .filter((f) => /^libfluidsynth-[0-9.]+\.js$/.test(f))
  .sort((a, b) => a.localeCompare(b, 'en', { numeric: true }))
  .pop();
const files = {
  '/check.html': join(sourceDir, 'tests/web/audio/check.html'),
  '/audio_check.js': join(buildDir, 'audio_check.js'),
  '/audio_check.wasm': join(buildDir, 'audio_check.wasm'),
  '/audio.js': join(sourceDir, 'web/audio.js'),
  '/synth/js-synthesizer.min.js': join(synthDir, 'dist/js-synthesizer.min.js'),
  '/synth/js-synthesizer.worklet.min.js': join(synthDir, 'dist/js-synthesizer.worklet.min.js'),
  '/synth/libfluidsynth.js': join(synthDir, 'externals', fluid),
  '/synth/TimGM6mb.sf2': soundFont,
};
const types = { html: 'text/html', js: 'text/javascript', wasm: 'application/wasm' };
const server = createServer((request, response) => {
  const path = files[new URL(request.url, 'http://x').pathname];
  if (!path || !existsSync(path)) {
    response.writeHead(request.url === '/favicon.ico' ? 204 : 404).end();
    return;
  }
  const type = types[path.split('.').pop()] || 'application/octet-stream';
  response.writeHead(200, { 'Content-Type': type }).end(readFileSync(path));
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));

let passed = 0;
let failed = 0;
const expect = (ok, what) => {
  if (ok) ++passed;
  else ++failed;
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
};
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

const browser = await playwright.chromium.launch({
  executablePath: chromium,
  args: ['--no-sandbox', '--autoplay-policy=document-user-activation-required'],
});
try {
  const page = await browser.newPage();
  page.on('console', (message) => console.log(`  page: ${message.text()}`));
  page.on('pageerror', (error) => console.log(`  page error: ${error}`));
  await page.goto(`http://127.0.0.1:${server.address().port}/check.html`);
  await page.waitForFunction(() => globalThis.checkReady === true);

  const call = (name, ...args) => page.evaluate(([n, a]) => globalThis.check[n](...a), [name, args]);
  const level = () => page.evaluate(() => globalThis.zarvoAudioLevel());
  // The loudest level over `ms`, or earlier once it reaches `enough`.
  const loudest = async (ms, enough = Infinity) => {
    let most = 0;
    for (const end = Date.now() + ms; Date.now() < end && most < enough; await sleep(40)) {
      most = Math.max(most, await level());
    }
    return most;
  };
  const MUSIC = 1;
  const SOUND = 0;

  // MP3 is encoded from the WAV by lame, where it is installed.
  let mp3 = false;
  if (which('lame')) {
    const dir = mkdtempSync(join(tmpdir(), 'zarvo-audio-'));
    const wav = await page.evaluate(() => Array.from(Module.FS.readFile('/media/tone.wav')));
    writeFileSync(join(dir, 'tone.wav'), Buffer.from(wav));
    execFileSync('lame', ['--quiet', '-b', '128', join(dir, 'tone.wav'), join(dir, 'tone.mp3')]);
    const bytes = Array.from(readFileSync(join(dir, 'tone.mp3')));
    await page.evaluate((b) => Module.FS.writeFile('/media/tone.mp3', new Uint8Array(b)), bytes);
    rmSync(dir, { recursive: true });
    mp3 = true;
  } else {
    console.log('MP3 not checked: no lame (scripts/setup --web installs it)');
  }

  // Before the first click nothing sounds, but the players' time runs: music started now is
  // heard from where it has got to, a short sound over by then is not heard at all.
  expect(await call('open', MUSIC, '/media/tone.wav') === 1, 'WAV opens');
  expect(await call('open', SOUND, '/media/short.wav') === 1, 'a short WAV opens on the sound channel');
  await call('play', MUSIC);
  await call('play', SOUND);
  await sleep(1000);
  const before = await loudest(200);
  const position = await call('position', MUSIC);
  expect(before < 0.001, `silent before the first click (level ${before.toFixed(4)})`);
  expect(position >= 900 && position <= 1600, `the music's time runs before the click (${position} ms)`);
  expect(await call('complete', SOUND) === 1, 'the short sound has ended before the click');
  await page.mouse.click(100, 100);
  const after = await loudest(1500, 0.05);
  expect(after > 0.05, `the music sounds after the first click (level ${after.toFixed(4)})`);
  // Started 1.2 s in, the 3 s track ends when its time is up, not 3 s after the click.
  await page.waitForFunction(() => globalThis.check.complete(1) === 1, null, { timeout: 5000 });
  await sleep(150);
  const ended = await loudest(200);
  expect(ended < 0.005, `the music ends when its time is up (level ${ended.toFixed(4)})`);
  await call('stop', MUSIC);

  // Every format on the music channel; a stop silences it at once. The first MIDI file loads
  // the synthesizer and the SoundFont.
  const formats = [['WAV', '/media/tone.wav', 1000], ['Ogg Vorbis', '/media/tone.ogg', 1000],
    ['MIDI', '/media/song.mid', 10000]];
  if (mp3) formats.splice(2, 0, ['MP3', '/media/tone.mp3', 1000]);
  const levels = {};
  for (const [name, path, wait] of formats) {
    expect(await call('open', MUSIC, path) === 1, `${name} opens`);
    await call('play', MUSIC);
    // While the file loads its time stands still: nothing of it is skipped.
    const started = Date.now();
    const first = await loudest(wait, 0.02);
    const at = await call('position', MUSIC);
    console.log(`  ${name}: heard after ${Date.now() - started} ms, ${at} ms into the file`);
    expect(at < 600, `${name} is heard from its start (${at} ms in)`);
    levels[name] = Math.max(first, await loudest(500, 0.05));
    expect(levels[name] > 0.02, `${name} sounds (level ${levels[name].toFixed(4)})`);
    await call('stop', MUSIC);
    await sleep(200);
    const stopped = await loudest(200);
    expect(stopped < 0.005, `${name} is silent once stopped (level ${stopped.toFixed(4)})`);
  }

  // Music and sound at once; a sound's end is seen.
  await call('open', MUSIC, '/media/tone.ogg');
  await call('play', MUSIC);
  await call('open', SOUND, '/media/short.wav');
  await call('play', SOUND);
  expect(await call('complete', SOUND) === 0, 'a playing sound is not complete');
  await sleep(600);
  expect(await call('complete', SOUND) === 1, 'the sound is complete after its 0.4 s');
  expect(await call('complete', MUSIC) === 0, 'the music plays on');

  // Volume: -20 dB is a tenth of the amplitude, -100 dB silence.
  await call('open', MUSIC, '/media/tone.wav');
  await call('play', MUSIC);
  const full = await loudest(600, 0.13);
  await call('volume', MUSIC, -2000);
  await sleep(200);
  const tenth = await loudest(300);
  expect(tenth / full > 0.07 && tenth / full < 0.13, `-20 dB is a tenth (${full.toFixed(4)} -> ${tenth.toFixed(4)})`);
  await call('volume', MUSIC, -10000);
  await sleep(200);
  expect(await loudest(300) < 0.001, 'the silent level is silent');
  expect(await call('volume', MUSIC, 1) === 0, 'a level above full is refused');
  await call('volume', MUSIC, 0);

  // A hidden page: everything stands still and goes on from there.
  await call('rewind', MUSIC);
  await sleep(300);
  await page.evaluate(() => globalThis.audio.suspend());
  const held = await call('position', MUSIC);
  await sleep(500);
  const stillHeld = await call('position', MUSIC);
  expect(Math.abs(stillHeld - held) < 30, `time stands still while suspended (${held} -> ${stillHeld} ms)`);
  expect(await level() === 0, 'nothing sounds while suspended');
  await page.evaluate(() => globalThis.audio.resume());
  const resumed = await loudest(1000, 0.05);
  expect(resumed > 0.05, `sound returns on resume (level ${resumed.toFixed(4)})`);
  const goesOn = await call('position', MUSIC);
  expect(goesOn > stillHeld && goesOn < stillHeld + 1100, `time goes on from there (${goesOn} ms)`);
  await call('stop', MUSIC);

  // A damaged file does not open and nothing waits for it.
  expect(await call('open', SOUND, '/media/broken.wav') === 0, 'a damaged WAV is refused');
  expect(await call('complete', SOUND) === 1, 'a refused file counts as complete');

  // MIDI started before the first click goes on from its place too: two seconds in, after its
  // only chord, it has nothing to play until it ends; rewound (the synthesizer has loaded by
  // then), it is heard.
  const late = await browser.newPage();
  await late.goto(page.url());
  await late.waitForFunction(() => globalThis.checkReady === true);
  const lateCall = (name, ...args) => late.evaluate(([n, a]) => globalThis.check[n](...a), [name, args]);
  const lateLevel = async (ms) => {
    let most = 0;
    for (const end = Date.now() + ms; Date.now() < end; await sleep(40)) {
      most = Math.max(most, await late.evaluate(() => globalThis.zarvoAudioLevel()));
    }
    return most;
  };
  expect(await lateCall('open', MUSIC, '/media/rest.mid') === 1, 'MIDI opens before the first click');
  const restDuration = await lateCall('duration', MUSIC);
  expect(Math.abs(restDuration - 9000) < 20, `the MIDI's time follows its tempo (${restDuration} ms)`);
  await lateCall('play', MUSIC);
  await sleep(2000);
  await late.mouse.click(100, 100);
  const rest = await lateLevel(3000);
  expect(rest < 0.005, `MIDI started late skips what has passed (level ${rest.toFixed(4)})`);
  await lateCall('rewind', MUSIC);
  const chord = await lateLevel(1500);
  expect(chord > 0.02, `MIDI rewound is heard (level ${chord.toFixed(4)})`);
  await late.close();

  console.log(`levels: ${Object.entries(levels).map(([k, v]) => `${k} ${v.toFixed(4)}`).join(', ')}`);
} finally {
  await browser.close();
  server.close();
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
