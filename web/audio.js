// The page's sound: the engine's music and sound players (backends/web/web_media_player.cpp)
// reach this module through globalThis.zarvoAudio. WAV, Ogg and MP3 are decoded by the browser;
// MIDI is played by FluidSynth (js-synthesizer, in an AudioWorklet) with the General MIDI
// SoundFont TimGM6mb, both fetched when the first MIDI file is opened.
//
// Browsers let nothing sound before the reader's first click or key. The players therefore keep
// their own time: a track started earlier is heard from where it has got to once the first
// click unlocks the audio, and a short sound that would have ended by then is not heard at all.
// While the page is suspended (a hidden tab) that time stands still, and so does a player's
// while what it would play is still loading (the browser decoding a file, the synthesizer and
// its SoundFont arriving): nothing is skipped for a slow network.
//
// Load it as a module before the engine starts: import * as audio from './audio.js'.

const scriptBase = new URL('./', import.meta.url);
const settings = {
  synthBase: new URL('synth/', scriptBase),  // js-synthesizer's and FluidSynth's scripts
  soundFont: new URL('synth/TimGM6mb.sf2', scriptBase),
};

let context = null;
let master = null;  // every player's gain node ends here
let analyser = null;
try {
  context = new AudioContext();
  master = context.createGain();
  analyser = context.createAnalyser();
  analyser.fftSize = 2048;
  master.connect(analyser);
  analyser.connect(context.destination);
} catch (error) {
  console.warn('zarvoplay: no Web Audio, the story plays in silence:', error);
  context = null;
}

let pausedByPage = false;

function audible() {
  return context !== null && context.state === 'running' && !pausedByPage;
}

// The players' clock in seconds. It follows the audio hardware while sound is heard, the wall
// clock while the browser holds the audio back, and stands still while the page is suspended.
const clock = { base: 0, kind: 'wall', at: performance.now() / 1000 };

function now() {
  switch (clock.kind) {
    case 'audio': return clock.base + Math.max(0, context.currentTime - clock.at);
    case 'wall': return clock.base + Math.max(0, performance.now() / 1000 - clock.at);
    default: return clock.base;
  }
}

function reanchor() {
  clock.base = now();
  if (pausedByPage) {
    clock.kind = 'frozen';
  } else if (audible()) {
    clock.kind = 'audio';
    clock.at = context.currentTime;
  } else {
    clock.kind = 'wall';
    clock.at = performance.now() / 1000;
  }
}

// ---- MIDI -----------------------------------------------------------------------------------

let synthLoad = null;  // the synthesizer's scripts, once
let soundFontLoad = null;

function loadScript(url) {
  return new Promise((resolve, reject) => {
    const script = document.createElement('script');
    script.src = url;
    script.onload = resolve;
    script.onerror = () => reject(new Error(`cannot load ${url}`));
    document.head.appendChild(script);
  });
}

function loadSynthesizer() {
  if (!synthLoad) {
    const base = settings.synthBase;
    synthLoad = Promise.all([
      loadScript(new URL('js-synthesizer.min.js', base).href),
      context.audioWorklet.addModule(new URL('libfluidsynth.js', base).href)
        .then(() => context.audioWorklet.addModule(new URL('js-synthesizer.worklet.min.js', base).href)),
    ]);
  }
  return synthLoad;
}

function loadSoundFont() {
  if (!soundFontLoad) {
    soundFontLoad = fetch(settings.soundFont).then((response) => {
      if (!response.ok) throw new Error(`${settings.soundFont}: ${response.status}`);
      return response.arrayBuffer();
    });
  }
  return soundFontLoad;
}

// Reads a Standard MIDI File's timing: ticks per quarter note (or per second, for SMPTE time)
// and its tempo changes. The engine has checked the file; anything odd still only costs the
// position (the track then starts from its beginning).
function tempoMap(bytes) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const map = { perQuarter: 0, perSecond: 0, tempos: [] };
  if (bytes.length < 14) return map;
  const division = view.getUint16(12);
  if (division & 0x8000) {
    map.perSecond = (256 - (division >> 8)) * (division & 0xff);
    return map;
  }
  map.perQuarter = division;
  let at = 8 + view.getUint32(4);
  while (at + 8 <= bytes.length) {
    const size = view.getUint32(at + 4);
    const end = Math.min(bytes.length, at + 8 + size);
    if (view.getUint32(at) === 0x4d54726b) readTempos(bytes, at + 8, end, map.tempos);  // MTrk
    at += 8 + size;
  }
  map.tempos.sort((a, b) => a.tick - b.tick);
  return map;
}

function readTempos(bytes, at, end, tempos) {
  const number = () => {
    let value = 0;
    for (let i = 0; i < 4 && at < end; ++i) {
      const b = bytes[at++];
      value = value * 128 + (b & 0x7f);
      if (!(b & 0x80)) break;
    }
    return value;
  };
  let tick = 0;
  let status = 0;
  while (at < end) {
    tick += number();
    if (at >= end) break;
    if (bytes[at] & 0x80) status = bytes[at++];
    if (status === 0xff) {
      const type = bytes[at++];
      const length = number();
      if (type === 0x51 && length === 3 && at + 3 <= end) {
        tempos.push({ tick, usPerQuarter: (bytes[at] << 16) | (bytes[at + 1] << 8) | bytes[at + 2] });
      }
      if (type === 0x2f) break;
      at += length;
      status = 0;
    } else if (status === 0xf0 || status === 0xf7) {
      at += number();
      status = 0;
    } else if (status >= 0x80) {
      const kind = status & 0xf0;
      at += kind === 0xc0 || kind === 0xd0 ? 1 : 2;  // also under running status
    } else {
      break;  // data without a status
    }
  }
}

// The tick `seconds` into the file.
function tickAt(map, seconds) {
  if (map.perSecond) return Math.floor(seconds * map.perSecond);
  if (!map.perQuarter) return 0;
  let tick = 0;
  let usPerQuarter = 500000;
  let left = seconds * 1e6;
  for (const tempo of map.tempos) {
    const span = (tempo.tick - tick) * usPerQuarter / map.perQuarter;
    if (span >= left) break;
    left -= span;
    tick = tempo.tick;
    usPerQuarter = tempo.usPerQuarter;
  }
  return Math.floor(tick + left * map.perQuarter / usPerQuarter);
}

// ---- Players --------------------------------------------------------------------------------

const players = new Map();
let nextId = 1;

function create(music) {
  const id = nextId++;
  const player = {
    music, bytes: null, midi: false, duration: 0, buffer: null, tempo: null,
    running: false, failed: false, start: 0, hold: null, source: null, synth: null, synthReady: null,
    file: 0,  // counts the files opened: a decode that ends after a newer open is dropped
    output: 0, generation: 0,  // the sound started, and a count that drops stale MIDI starts
    gain: context ? context.createGain() : null,
  };
  if (player.gain) player.gain.connect(master);
  players.set(id, player);
  return id;
}

function destroy(id) {
  const player = players.get(id);
  if (!player) return;
  close(id);
  if (player.gain) player.gain.disconnect();
  players.delete(id);
}

// `bytes` is the module's own copy; `durationMs` the playing time the engine read from them.
function open(id, bytes, midi, durationMs) {
  const player = players.get(id);
  if (!player) return false;
  close(id);
  player.bytes = bytes;
  player.midi = midi;
  player.duration = durationMs / 1000;
  if (player.gain) player.gain.gain.value = 1;
  if (!context) return true;
  const file = player.file;
  if (midi) {
    player.tempo = tempoMap(bytes);
    Promise.all([loadSynthesizer(), loadSoundFont()]).catch((error) => warnOnce(error));
  } else {
    // decodeAudioData takes its buffer away; the player keeps the bytes for nothing else.
    context.decodeAudioData(bytes.slice().buffer).then((buffer) => {
      if (player.file !== file) return;
      player.buffer = buffer;
      sync(player);
    }, (error) => {
      if (player.file === file) fail(player);
      warnOnce(new Error(`a sound the browser cannot decode: ${error}`));
    });
  }
  return true;
}

function close(id) {
  const player = players.get(id);
  if (!player) return;
  silence(player);
  ++player.file;
  player.running = false;
  player.bytes = player.buffer = player.tempo = null;
  player.hold = null;
  player.failed = false;
}

function play(id) {
  const player = players.get(id);
  if (!player || !player.bytes || player.running) return;
  player.running = true;
  player.start = now();
  sync(player);
}

function stop(id) {
  const player = players.get(id);
  if (!player) return;
  player.running = false;
  silence(player);
  player.hold = null;
}

function rewind(id) {
  const player = players.get(id);
  if (!player || !player.running) return;
  silence(player);
  player.hold = null;
  player.start = now();
  sync(player);
}

// Seconds into the file.
function position(player) {
  return (player.hold ?? now()) - player.start;
}

function positionMs(id) {
  const player = players.get(id);
  if (!player || !player.running) return 0;
  return Math.min(position(player), player.duration) * 1000;
}

function isComplete(id) {
  const player = players.get(id);
  if (!player || !player.bytes) return true;
  return player.running && position(player) >= player.duration;
}

// Stops a player's time where it stands until release().
function hold(player) {
  if (player.hold === null) player.hold = now();
}

// What cannot be played is not waited for: its time runs on in silence.
function fail(player) {
  player.failed = true;
  release(player);
}

function release(player) {
  if (player.hold === null) return;
  player.start += now() - player.hold;
  player.hold = null;
}

function setGain(id, gain) {
  const player = players.get(id);
  if (player && player.gain) player.gain.gain.value = gain;
}

// Makes the output follow the player: from where its clock stands, when anything may sound.
function sync(player) {
  if (!player.running || player.failed || !audible() || player.output) return;
  const offset = position(player);
  if (offset >= player.duration) return;
  if (player.midi) {
    hold(player);
    const generation = player.output = ++player.generation;
    startMidi(player, generation).catch((error) => {
      if (player.generation === generation) fail(player);
      warnOnce(error);
    });
  } else if (!player.buffer) {
    hold(player);  // until decoded, unless the browser cannot decode it
  } else {
    release(player);
    const source = context.createBufferSource();
    source.buffer = player.buffer;
    source.connect(player.gain);
    source.start(0, Math.min(offset, player.buffer.duration));
    player.source = source;
    player.output = ++player.generation;
  }
}

// Ends what is heard of a player; its time runs on.
function silence(player) {
  release(player);
  if (player.source) {
    player.source.stop();
    player.source.disconnect();
    player.source = null;
  }
  if (player.output && player.synth) player.synth.stopPlayer();
  if (player.output) ++player.generation;  // ends a MIDI start still on its way
  player.output = 0;
}

async function startMidi(player, generation) {
  const live = () => player.generation === generation;
  if (!player.synth) {
    const [, soundFont] = await Promise.all([loadSynthesizer(), loadSoundFont()]);
    if (!player.synth) {
      const synth = new globalThis.JSSynth.AudioWorkletNodeSynthesizer();
      synth.init(context.sampleRate);
      synth.createAudioNode(context).connect(player.gain);
      player.synth = synth;
      player.synthReady = synth.loadSFont(soundFont.slice(0));
    }
  }
  await player.synthReady;
  if (!live()) return;
  const synth = player.synth;
  await synth.resetPlayer();
  if (!live()) return;
  await synth.addSMFDataToPlayer(player.bytes.slice().buffer);
  if (!live()) return;
  const offset = position(player);
  release(player);
  const tick = tickAt(player.tempo, offset);
  if (tick > 0) synth.seekPlayer(tick);
  await synth.playPlayer();
}

const warned = new Set();
function warnOnce(error) {
  const text = String(error && error.message ? error.message : error);
  if (warned.has(text)) return;
  warned.add(text);
  console.warn('zarvoplay audio:', text);
}

// ---- The page's side ------------------------------------------------------------------------

function restartAll() {
  for (const player of players.values()) {
    silence(player);
    sync(player);
  }
}

if (context) {
  reanchor();  // a page allowed to play at once starts on the audio clock
  context.addEventListener('statechange', () => {
    reanchor();
    // Started sources run on while the context is held and would drift from the players'
    // clock: every player starts afresh from where its clock stands.
    if (audible()) restartAll();
  });
}

// The reader's first click or key lets the audio start (browsers allow it only then).
export function unlock() {
  if (context && !pausedByPage && context.state !== 'running') {
    context.resume().catch((error) => warnOnce(error));
  }
}
for (const type of ['pointerdown', 'pointerup', 'keydown', 'touchend']) {
  window.addEventListener(type, unlock, { capture: true, passive: true });
}

// A hidden page: everything stops where it is, and the players' clock with it.
export function suspend() {
  if (pausedByPage) return;
  pausedByPage = true;
  reanchor();
  for (const player of players.values()) silence(player);
  if (context) context.suspend().catch(() => {});
}

export function resume() {
  if (!pausedByPage) return;
  pausedByPage = false;
  reanchor();
  if (audible()) restartAll();
  else unlock();
}

// Where the synthesizer's files and the SoundFont are, when not in synth/ beside this module.
export function configure({ synthBase, soundFont } = {}) {
  if (synthBase) settings.synthBase = new URL(synthBase, document.baseURI);
  if (soundFont) settings.soundFont = new URL(soundFont, document.baseURI);
}

// The RMS level (0 .. 1) of everything heard right now, for tests.
const samples = analyser ? new Float32Array(analyser.fftSize) : null;
export function level() {
  if (!audible()) return 0;
  analyser.getFloatTimeDomainData(samples);
  let sum = 0;
  for (const sample of samples) sum += sample * sample;
  return Math.sqrt(sum / samples.length);
}

globalThis.zarvoAudio = {
  create, destroy, open, close, play, stop, rewind, positionMs, isComplete, setGain,
};
globalThis.zarvoAudioLevel = level;
