// The page around the player: loads the engine, the system library and the fonts, takes stories
// in (picked, dropped, zipped or linked), draws the player's frames on the canvas, hands the
// reader's input to it, shows its boxes, and keeps the reader's files in the browser's storage.
// The address is a contract for tests (doc/web-page.md): ?story=URL, &events=URL, &trace=1.
'use strict';
(() => {
  const $ = (id) => document.getElementById(id);
  const params = new URLSearchParams(location.search);
  const japanese = (navigator.language || '').toLowerCase().startsWith('ja');

  // The page's own words; the player's boxes bring their own.
  const words = japanese ? {
    openFile: '物語を開く', openFolder: 'フォルダを開く', fullscreen: '全画面',
    exportSaves: 'セーブを書き出す', importSaves: 'セーブを読み込む',
    welcome: '物語（.zp7 のスクリプトかパッケージ、パッケージ付きのプログラム、フォルダかその .zip）をこのページにドロップするか、上のボタンで開いてください。',
    demo: 'デモを遊ぶ', story: '物語',
    loadingEngine: 'プレイヤーを読み込んでいます…', loadingStory: (n) => `${n} を読み込んでいます…`,
    fetchFailed: (u, why) => `${u} を読み込めません（${why}）。`,
    noStory: '物語のファイルが見つかりません（.zp7 のファイルかパッケージ付きのプログラムを選んでください）。',
    badZip: (why) => `この .zip を展開できません（${why}）。`,
    ended: '物語は終わりました。', failed: '物語はエラーで終わりました。',
    noStoryForSaves: '先に物語を開いてください。', exported: (n) => `${n} を書き出しました。`,
    imported: (n) => `${n} 個のファイルを読み込みました。`, badSaves: 'セーブのファイルではありません。',
    storageFailed: (why) => `ブラウザに保存できません（${why}）。`,
    engineFailed: (why) => `プレイヤーを起動できません（${why}）。`,
    offline: 'オフラインで使えます。',
  } : {
    openFile: 'Open a story', openFolder: 'Open a folder', fullscreen: 'Full screen',
    exportSaves: 'Export saves', importSaves: 'Import saves',
    welcome: 'Drop a story on the page (a .zp7 script or package, a program with its package, a folder or a .zip of one), or open one with the buttons above.',
    demo: 'Play the demo', story: 'Story',
    loadingEngine: 'Loading the player…', loadingStory: (n) => `Loading ${n}…`,
    fetchFailed: (u, why) => `Cannot load ${u} (${why}).`,
    noStory: 'No story found (pick a .zp7 file, or a program with its package).',
    badZip: (why) => `Cannot unpack this .zip (${why}).`,
    ended: 'The story has ended.', failed: 'The story ended with an error.',
    noStoryForSaves: 'Open the story first.', exported: (n) => `${n} exported.`,
    imported: (n) => `${n} files imported.`, badSaves: 'This is not a file of saves.',
    storageFailed: (why) => `Cannot keep files in the browser (${why}).`,
    engineFailed: (why) => `Cannot start the player (${why}).`,
    offline: 'Ready to work offline.',
  };
  document.documentElement.lang = japanese ? 'ja' : 'en';
  for (const el of document.querySelectorAll('[data-text]')) el.textContent = words[el.dataset.text];

  const status = $('status');
  const progress = $('progress');
  // One bar over every download under way (the story, the engine's library and fonts): each
  // adds its size as soon as it is known, and the bar never moves back while a load lasts.
  const downloads = new Map();
  let shownFraction = 0;
  const track = (name) => (got, total) => {
    downloads.set(name, [got, total]);
    let g = 0, t = 0;
    for (const [a, b] of downloads.values()) { g += a; t += b; }
    if (t <= 0) return;
    shownFraction = Math.max(shownFraction, Math.min(1, g / t));
    progress.max = 1;
    progress.value = shownFraction;
  };
  const startProgress = () => {
    downloads.clear();
    shownFraction = 0;
    progress.removeAttribute('value');
    progress.hidden = false;
  };
  function say(text, error = false) {
    status.textContent = text;
    status.classList.toggle('error', error);
  }
  function setState(state) { document.body.dataset.state = state; }

  // ---- The frame: the player's picture, scaled to the stage as the reader chose -------------
  const canvas = $('canvas');
  const stage = $('stage');
  const context = canvas.getContext('2d', { alpha: false });
  const picture = document.createElement('canvas');
  const pictureContext = picture.getContext('2d', { alpha: false });
  let imageData = null;
  let dirty = false;
  let scaling = 0;  // 0 sharp, 1 whole multiples, 2 smooth (the desktop's choices)
  let view = { width: 0, height: 0, k: 1 };

  function layout() {
    const w = picture.width, h = picture.height;
    if (!w || !h) return;
    const dpr = window.devicePixelRatio || 1;
    const fit = Math.min(stage.clientWidth / w, stage.clientHeight / h);
    let cssScale = fit, k = 1, pixelated = false;
    if (scaling === 1 && Math.floor(fit * dpr) >= 1) {
      cssScale = Math.floor(fit * dpr) / dpr;
      pixelated = true;
    } else if (scaling === 0) {
      // Enlarged by a whole multiple with square pixels, then filtered down to the size.
      k = Math.max(1, Math.ceil(fit * dpr - 1e-6));
    }
    canvas.width = w * k;
    canvas.height = h * k;
    canvas.style.width = `${w * cssScale}px`;
    canvas.style.height = `${h * cssScale}px`;
    canvas.classList.toggle('pixelated', pixelated);
    view = { width: w, height: h, k };
    dirty = true;
  }
  new ResizeObserver(layout).observe(stage);
  window.addEventListener('resize', layout);

  let framesThisSecond = 0;
  let secondStart = performance.now();
  function draw(now) {
    if (dirty && picture.width) {
      dirty = false;
      context.imageSmoothingEnabled = false;
      context.drawImage(picture, 0, 0, canvas.width, canvas.height);
      ++framesThisSecond;
    }
    if (now - secondStart >= 1000) {
      $('fps').textContent = `${Math.round(framesThisSecond * 1000 / (now - secondStart))} fps`;
      framesThisSecond = 0;
      secondStart = now;
    }
    requestAnimationFrame(draw);
  }
  requestAnimationFrame(draw);

  let firstFrame = true;
  function present(bytes, width, height) {
    if (firstFrame) {
      firstFrame = false;
      // Time to the first frame, for measurements: performance.getEntriesByName(...).
      performance.mark('zarvoplay-first-frame');
    }
    if (picture.width !== width || picture.height !== height || !imageData) {
      picture.width = width;
      picture.height = height;
      imageData = pictureContext.createImageData(width, height);
      layout();
    }
    imageData.data.set(bytes);
    pictureContext.putImageData(imageData, 0, 0);
    canvas.classList.add('shown');
    dirty = true;
  }

  // ---- Input: mouse, wheel, keys and touch, as story pixels and Windows key codes ------------
  const Event = { MouseDown: 1, MouseMove: 2, KeyDown: 3, KeyUp: 4, Wheel: 5, Visibility: 6, Quit: 7, Paint: 8 };
  let engine = null;
  let running = false;
  let wake = null;
  function send(kind, a = 0, b = 0, c = 0) {
    if (!engine || !running) return;
    engine._zarvo_page_event(kind, a, b, c);
    if (wake) wake();
  }
  function storyPoint(ev) {
    const rect = canvas.getBoundingClientRect();
    if (!rect.width || !rect.height || !view.width) return null;
    const x = Math.floor((ev.clientX - rect.left) * view.width / rect.width);
    const y = Math.floor((ev.clientY - rect.top) * view.height / rect.height);
    if (x < 0 || y < 0 || x >= view.width || y >= view.height) return null;
    return { x, y };
  }
  const modal = () => $('box').open || $('input-box').open;

  canvas.addEventListener('contextmenu', (ev) => ev.preventDefault());
  canvas.addEventListener('pointerdown', (ev) => {
    canvas.focus({ preventScroll: true });
    if (ev.pointerType === 'touch') return touchDown(ev);
    const p = storyPoint(ev);
    if (!p) return;
    ev.preventDefault();
    send(Event.MouseMove, 0, p.x, p.y);
    send(Event.MouseDown, ev.button === 2 ? 1 : ev.button === 1 ? 2 : 0, p.x, p.y);
  });
  canvas.addEventListener('pointermove', (ev) => {
    if (ev.pointerType === 'touch') return touchMove(ev);
    const p = storyPoint(ev);
    if (p) send(Event.MouseMove, 0, p.x, p.y);
  });
  canvas.addEventListener('pointerup', (ev) => { if (ev.pointerType === 'touch') touchUp(ev); });
  canvas.addEventListener('pointercancel', (ev) => { if (ev.pointerType === 'touch') touches.clear(); });
  let wheelRest = 0;
  canvas.addEventListener('wheel', (ev) => {
    ev.preventDefault();
    // Trackpads send many small deltas: one notch is about 100 pixels or 3 lines.
    const unit = ev.deltaMode === 1 ? 3 : ev.deltaMode === 2 ? 1 : 100;
    wheelRest += ev.deltaY / unit;
    let steps = wheelRest > 0 ? Math.floor(wheelRest) : Math.ceil(wheelRest);
    if (steps === 0 && Math.abs(ev.deltaY) > 0 && ev.deltaMode !== 0) steps = Math.sign(ev.deltaY);
    if (steps !== 0) {
      wheelRest -= steps;
      send(Event.Wheel, -steps);
    }
  }, { passive: false });

  // Touch: a tap is a click, a two-finger tap a right click, a swipe up opens the backlog (as
  // the wheel turned up does; down scrolls it back), a long press hides the text (as H does).
  const touches = new Map();
  let gesture = null;
  const kLongPressMs = 550, kMoveSlop = 12, kSwipe = 50;
  function touchDown(ev) {
    ev.preventDefault();
    canvas.setPointerCapture(ev.pointerId);
    touches.set(ev.pointerId, { x: ev.clientX, y: ev.clientY, x0: ev.clientX, y0: ev.clientY, ev });
    if (touches.size === 1) {
      gesture = { start: performance.now(), fingers: 1, moved: false, done: false, first: ev };
      gesture.timer = setTimeout(() => {
        if (gesture && !gesture.moved && !gesture.done && gesture.fingers === 1) {
          gesture.done = true;
          send(Event.KeyDown, 72);
          send(Event.KeyUp, 72);
        }
      }, kLongPressMs);
    } else if (gesture) {
      gesture.fingers = Math.max(gesture.fingers, touches.size);
    }
  }
  function touchMove(ev) {
    const t = touches.get(ev.pointerId);
    if (!t || !gesture) return;
    t.x = ev.clientX;
    t.y = ev.clientY;
    if (Math.hypot(t.x - t.x0, t.y - t.y0) > kMoveSlop) gesture.moved = true;
  }
  function touchUp(ev) {
    const t = touches.get(ev.pointerId);
    touches.delete(ev.pointerId);
    if (!t || !gesture) return;
    if (touches.size > 0) return;  // the gesture ends with its last finger
    clearTimeout(gesture.timer);
    const g = gesture;
    gesture = null;
    if (g.done) return;
    const dx = t.x - t.x0, dy = t.y - t.y0;
    if (g.fingers >= 2) {
      if (!g.moved) {
        const p = storyPoint(g.first);
        if (p) send(Event.MouseDown, 1, p.x, p.y);
      }
      return;
    }
    if (g.moved) {
      if (Math.abs(dy) > kSwipe && Math.abs(dy) > Math.abs(dx)) send(Event.Wheel, dy < 0 ? 1 : -1);
      return;
    }
    const p = storyPoint(g.first);
    if (!p) return;
    send(Event.MouseMove, 0, p.x, p.y);
    send(Event.MouseDown, 0, p.x, p.y);
  }

  const namedKeys = {
    Backspace: 8, Tab: 9, Enter: 13, NumpadEnter: 13, ShiftLeft: 16, ShiftRight: 16, ControlLeft: 17,
    ControlRight: 17, AltLeft: 18, AltRight: 18, Escape: 27, Space: 32, PageUp: 33, PageDown: 34,
    End: 35, Home: 36, ArrowLeft: 37, ArrowUp: 38, ArrowRight: 39, ArrowDown: 40, Insert: 45, Delete: 46,
  };
  function virtualKey(ev) {
    const code = ev.code || '';
    if (code in namedKeys) return namedKeys[code];
    let m = /^Key([A-Z])$/.exec(code);
    if (m) return m[1].charCodeAt(0);
    m = /^Digit([0-9])$/.exec(code);
    if (m) return 48 + Number(m[1]);
    m = /^F([0-9]{1,2})$/.exec(code);
    if (m && Number(m[1]) >= 1 && Number(m[1]) <= 12) return 111 + Number(m[1]);
    return 0;
  }
  function keyEvent(ev, down) {
    if (!running || modal()) return;
    const target = ev.target;
    if (target && target !== canvas && target !== document.body && (target.closest('#bar') || target.tagName === 'INPUT')) return;
    const key = virtualKey(ev);
    if (!key) return;
    // The browser keeps its own shortcuts (reload, close, developer tools), Ctrl+C aside.
    if (key === 116 || ((ev.ctrlKey || ev.metaKey) && key !== 17 && key !== 67)) return;
    ev.preventDefault();
    if (down && (key === 122 || (key === 13 && ev.altKey))) toggleFullScreen();
    send(down ? Event.KeyDown : Event.KeyUp, key);
  }
  window.addEventListener('keydown', (ev) => keyEvent(ev, true));
  window.addEventListener('keyup', (ev) => keyEvent(ev, false));
  // Keys held when the page lost the focus are let go (a held Ctrl would skip on and on).
  window.addEventListener('blur', () => {
    for (const key of [16, 17, 18]) send(Event.KeyUp, key);
  });
  document.addEventListener('visibilitychange', () => {
    send(Event.Visibility, document.hidden ? 1 : 0);
    // The sound stops at once, even while the player waits in a box.
    const audio = globalThis.zarvoPageAudio;
    if (audio) {
      if (document.hidden && audio.suspend) audio.suspend();
      else if (!document.hidden && audio.resume) audio.resume();
    }
  });

  // ---- Full screen: granted only inside the reader's gesture ----------------------------------
  let fullScreenAsked = false;
  let fullScreenOurs = false;
  function toggleFullScreen() {
    fullScreenOurs = true;
    if (document.fullscreenElement) {
      document.exitFullscreen().catch(() => {});
    } else if (stage.requestFullscreen) {
      fullScreenAsked = true;
      stage.requestFullscreen({ navigationUI: 'hide' }).catch(() => { fullScreenAsked = false; });
    }
  }
  $('fullscreen').addEventListener('click', () => {
    toggleFullScreen();
    if (running) {
      send(Event.KeyDown, 122);
      send(Event.KeyUp, 122);
    }
    canvas.focus({ preventScroll: true });
  });
  document.addEventListener('fullscreenchange', () => {
    fullScreenAsked = false;
    // Left by the browser's own Escape: the player is told as by F11, so its state follows.
    if (!fullScreenOurs && !document.fullscreenElement && running) {
      send(Event.KeyDown, 122);
      send(Event.KeyUp, 122);
    }
    fullScreenOurs = false;
    layout();
  });

  // ---- Boxes over the canvas ---------------------------------------------------------------
  function showBox(title, text, note, buttons, onClose) {
    const box = $('box');
    $('box-title').textContent = title;
    $('box-text').textContent = text;
    $('box-note').textContent = note;
    const answers = box.querySelector('.answers');
    answers.replaceChildren();
    return new Promise((resolve) => {
      let answered = false;
      const finish = (answer) => {
        if (answered) return;
        answered = true;
        box.close();
        canvas.focus({ preventScroll: true });
        resolve(answer);
      };
      for (const line of buttons.split('\n')) {
        if (!line) continue;
        const colon = line.indexOf(':');
        const button = document.createElement('button');
        button.type = 'button';
        button.textContent = line.slice(colon + 1);
        button.dataset.answer = line.slice(0, colon);
        button.addEventListener('click', () => finish(Number(button.dataset.answer)));
        answers.append(button);
      }
      box.oncancel = (ev) => { ev.preventDefault(); finish(onClose); };
      box.showModal();
      const first = answers.querySelector('button');
      if (first) first.focus();
    });
  }

  function inputBox(caption, prompt, value, error, ok, cancel) {
    const box = $('input-box');
    const input = $('input-text');
    $('input-title').textContent = caption;
    $('input-prompt').textContent = prompt;
    $('input-error').textContent = error;
    $('input-ok').textContent = ok;
    $('input-cancel').textContent = cancel;
    input.value = value;
    return new Promise((resolve) => {
      let answered = false;
      const finish = (text) => {
        if (answered) return;
        answered = true;
        box.close();
        canvas.focus({ preventScroll: true });
        resolve(text);
      };
      const form = box.querySelector('form');
      form.onsubmit = (ev) => { ev.preventDefault(); finish(input.value); };
      // Enter that confirms an input method's conversion is not the box's OK.
      input.onkeydown = (ev) => { if (ev.isComposing || ev.keyCode === 229) ev.stopPropagation(); };
      $('input-cancel').onclick = () => finish(null);
      box.oncancel = (ev) => { ev.preventDefault(); finish(null); };
      box.showModal();
      input.focus();
      input.select();
    });
  }

  // ---- Waiting: the player yields here and comes back on input or after its time -------------
  const channel = new MessageChannel();
  const yielded = [];
  channel.port1.onmessage = () => { const r = yielded.shift(); if (r) r(); };
  function wait(ms) {
    if (ms <= 0) {
      // A zero-delay turn without the clamping of nested timers.
      return new Promise((resolve) => { yielded.push(resolve); channel.port2.postMessage(0); });
    }
    return new Promise((resolve) => {
      const timer = setTimeout(done, ms);
      function done() { clearTimeout(timer); if (wake === done) wake = null; resolve(); }
      wake = done;
    });
  }

  // ---- The reader's files: one folder per story in the browser's storage ----------------------
  const kKeep = '/persist';
  let storyKey = null;
  let syncing = false, syncAgain = false;
  function persist() {
    if (!engine) return;
    if (syncing) { syncAgain = true; return; }
    syncing = true;
    engine.FS.syncfs(false, (err) => {
      syncing = false;
      if (err) say(words.storageFailed(String(err.message || err)), true);
      if (syncAgain) { syncAgain = false; persist(); }
    });
  }
  function mkdirs(path) {
    const FS = engine.FS;
    let at = '';
    for (const part of path.split('/').filter(Boolean)) {
      at += '/' + part;
      if (!FS.analyzePath(at).exists) FS.mkdir(at);
    }
  }
  function storyRoot(key) { return `/stories/${key}`; }
  // A file the player changed under the story's folder is copied to the story's kept folder
  // (removed there when it went); files under the reader's home are kept where they are.
  function fileChanged(path) {
    if (!storyKey) return;
    const root = storyRoot(storyKey) + '/';
    if (path.startsWith(root)) {
      const FS = engine.FS;
      const kept = `${kKeep}/${storyKey}/files/${path.slice(root.length)}`;
      try {
        if (FS.analyzePath(path).exists) {
          mkdirs(kept.slice(0, kept.lastIndexOf('/')));
          FS.writeFile(kept, FS.readFile(path));
        } else if (FS.analyzePath(kept).exists) {
          FS.unlink(kept);
        }
      } catch (e) {
        say(words.storageFailed(String(e.message || e)), true);
      }
    }
    persist();
  }
  function listFiles(dir, prefix = '') {
    const FS = engine.FS;
    const out = [];
    if (!FS.analyzePath(dir).exists) return out;
    for (const name of FS.readdir(dir)) {
      if (name === '.' || name === '..') continue;
      const path = `${dir}/${name}`;
      const stat = FS.stat(path);
      if (FS.isDir(stat.mode)) out.push(...listFiles(path, `${prefix}${name}/`));
      else out.push({ rel: prefix + name, path });
    }
    return out;
  }

  // ---- The engine ----------------------------------------------------------------------------
  const fontFiles = ['ipafont-gothic/ipag.ttf', 'ipafont-gothic/ipagp.ttf', 'ipafont-mincho/ipam.ttf', 'ipafont-mincho/ipamp.ttf'];
  let lastError = '';
  let enginePromise = null;

  async function fetchBytes(url, label, share) {
    const response = await fetch(url);
    if (!response.ok) throw new Error(`HTTP ${response.status}`);
    const total = Number(response.headers.get('Content-Length')) || 0;
    if (!response.body || !total) return new Uint8Array(await response.arrayBuffer());
    const reader = response.body.getReader();
    const parts = [];
    let got = 0;
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      parts.push(value);
      got += value.length;
      if (share) share(got, total);
    }
    const bytes = new Uint8Array(got);
    let at = 0;
    for (const p of parts) { bytes.set(p, at); at += p.length; }
    return bytes;
  }

  function startEngine() {
    if (enginePromise) return enginePromise;
    enginePromise = (async () => {
      const page = { wait, present, showBox, inputBox, fileChanged,
        setCaption: (t) => { document.title = t ? `${t} – zarvoplay` : 'zarvoplay'; $('title').textContent = t || 'zarvoplay'; },
        setCursor: (select) => canvas.classList.toggle('select', select),
        setClientSize: () => layout(),
        setScaling: (s) => { scaling = s; layout(); },
        setFullScreen: (on) => {
          if (on) return Boolean(document.fullscreenElement) || fullScreenAsked;
          if (document.fullscreenElement) { fullScreenOurs = true; document.exitFullscreen().catch(() => {}); }
          return true;
        },
        setClipboard: (text) => { if (navigator.clipboard) navigator.clipboard.writeText(text).catch(() => {}); },
      };
      const module = await createZarvo({
        page,
        print: (text) => console.log(text),
        printErr: (text) => { console.warn(text); if (text.startsWith('zarvoplay: ')) lastError = text.slice(11); },
        preRun: [(m) => {
          m.ENV.HOME = '/home/reader';
          m.ENV.LANG = japanese ? 'ja_JP.UTF-8' : 'en_US.UTF-8';
        }],
      });
      engine = module;
      performance.mark('zarvoplay-engine-ready');
      const FS = module.FS;
      mkdirs('/app');
      mkdirs('/home');
      mkdirs(kKeep);
      FS.mount(FS.filesystems.IDBFS, {}, kKeep);
      const loaded = new Promise((resolve) => FS.syncfs(true, (err) => {
        if (err) say(words.storageFailed(String(err.message || err)), true);
        resolve();
      }));
      // The system library and the fonts, fetched together; the service worker keeps them.
      const library = fetchBytes('zarvoplay.zvl', 'library', track('zvl')).then((b) => FS.writeFile('/app/zarvoplay.zvl', b));
      const fonts = fontFiles.map((f) => fetchBytes(`fonts/${f}`, f, track(f)).then((b) => {
        mkdirs(`/usr/share/fonts/opentype/${f.slice(0, f.indexOf('/'))}`);
        FS.writeFile(`/usr/share/fonts/opentype/${f}`, b);
      }));
      await Promise.all([library, ...fonts, loaded]);
      performance.mark('zarvoplay-files-ready');
      return module;
    })();
    return enginePromise;
  }

  // argv for main(), in the engine's memory.
  async function runMain(args) {
    const argv = ['/app/zarvoplay', ...args];
    const pointers = argv.map((a) => {
      const size = engine.lengthBytesUTF8(a) + 1;
      const p = engine._malloc(size);
      engine.stringToUTF8(a, p, size);
      return p;
    });
    const array = engine._malloc(4 * (pointers.length + 1));
    pointers.forEach((p, i) => { engine.HEAP32[(array >> 2) + i] = p; });
    engine.HEAP32[(array >> 2) + pointers.length] = 0;
    running = true;
    try {
      return await engine.ccall('main', 'number', ['number', 'number'], [argv.length, array], { async: true });
    } finally {
      running = false;
      wake = null;
    }
  }

  // ---- Stories in ----------------------------------------------------------------------------
  function hash(text) {
    let h = 0x811c9dc5;
    for (let i = 0; i < text.length; ++i) h = Math.imul(h ^ text.charCodeAt(i), 0x01000193) >>> 0;
    return h.toString(36);
  }
  function keyOf(name, identity) {
    const safe = name.replace(/[^\p{L}\p{N}._-]+/gu, '_').slice(0, 40) || 'story';
    return `${safe}-${hash(identity)}`;
  }
  function isZip(bytes) { return bytes.length >= 4 && bytes[0] === 0x50 && bytes[1] === 0x4b && bytes[2] === 3 && bytes[3] === 4; }
  function unzip(bytes) {
    let entries;
    try {
      entries = fflate.unzipSync(bytes);
    } catch (e) {
      throw new Error(words.badZip(String(e.message || e)));
    }
    const files = [];
    for (const [name, data] of Object.entries(entries)) {
      if (name.endsWith('/')) continue;
      const parts = name.split('/').filter((p) => p && p !== '.');
      // Nothing in a zip may climb out of the story's folder.
      if (parts.length === 0 || parts.includes('..') || name.startsWith('/')) continue;
      files.push({ rel: parts.join('/'), data });
    }
    return files;
  }
  // The project to open among a folder's files: the folder holding its only story file, which
  // the player itself then finds (and names what it found when there are several or none).
  function projectOf(files) {
    const top = new Set(files.map((f) => f.rel.split('/')[0]));
    if (top.size === 1 && files.every((f) => f.rel.includes('/'))) return [...top][0];
    return '';
  }

  async function openStory(name, identity, files, project) {
    if (!files.length) { say(words.noStory, true); setState(storyKey ? 'ended' : 'empty'); return; }
    await stopStory();
    setState('loading');
    say(words.loadingEngine);
    // A story fetched by link keeps the bar of its download; a picked one starts a new one.
    if (progress.hidden) startProgress();
    try {
      await startEngine();
    } catch (e) {
      progress.hidden = true;
      say(words.engineFailed(String(e.message || e)), true);
      setState('error');
      return;
    }
    progress.hidden = true;
    const FS = engine.FS;
    const key = keyOf(name, identity);
    storyKey = key;
    const root = storyRoot(key);
    // A story opened again starts from its own files, then the reader's kept ones over them.
    if (FS.analyzePath(root).exists) removeTree(root);
    for (const f of files) {
      const path = `${root}/${f.rel}`;
      mkdirs(path.slice(0, path.lastIndexOf('/')));
      FS.writeFile(path, f.data);
    }
    for (const kept of listFiles(`${kKeep}/${key}/files`)) {
      const path = `${root}/${kept.rel}`;
      mkdirs(path.slice(0, path.lastIndexOf('/')));
      FS.writeFile(path, FS.readFile(kept.path));
    }
    const home = `${kKeep}/${key}/home`;
    mkdirs(`${home}/.config/zarvoplay`);
    mkdirs(`${home}/.local/share/zarvoplay`);
    if (FS.analyzePath('/home/reader').exists) FS.unlink('/home/reader');
    FS.symlink(home, '/home/reader');
    persist();

    const projectPath = project ? `${root}/${project}` : root;
    const events = params.get('events');
    const tracing = params.get('trace') === '1';
    say('');
    lastError = '';
    setState('playing');
    canvas.focus({ preventScroll: true });
    let status;
    if (events) {
      // The virtual clock, as --events plays: the same run as the command line's.
      let text;
      try {
        text = await fetchBytes(new URL(events, location.href).href);
      } catch (e) {
        say(words.fetchFailed(events, e.message), true);
        setState('error');
        return;
      }
      mkdirs('/run');
      FS.writeFile('/run/events.txt', text);
      // Screenshots the events ask for land in the run's folder, their folders made first.
      FS.chdir('/run');
      for (const line of new TextDecoder().decode(text).split('\n')) {
        const shot = /^\s*\d+\s+shot\s+(.+?)\s*$/.exec(line);
        if (shot && shot[1].includes('/') && !shot[1].startsWith('/')) mkdirs(`/run/${shot[1].slice(0, shot[1].lastIndexOf('/'))}`);
      }
      for (const f of ['/run/trace.txt', '/run/shot.png']) if (FS.analyzePath(f).exists) FS.unlink(f);
      status = await (currentRun = runMain(['--headless', '--events', '/run/events.txt', '--trace', '/run/trace.txt', '--shot', '/run/shot.png', projectPath]));
      if (FS.analyzePath('/run/shot.png').exists) {
        const png = FS.readFile('/run/shot.png');
        await showPng(png);
        if (tracing) $('shot').textContent = `data:image/png;base64,${base64(png)}`;
      }
      if (tracing) $('trace').textContent = FS.analyzePath('/run/trace.txt').exists ? FS.readFile('/run/trace.txt', { encoding: 'utf8' }) : '';
      document.body.dataset.exit = String(status);
    } else {
      status = await (currentRun = runMain([projectPath]));
      document.body.dataset.exit = String(status);
    }
    currentRun = null;
    persist();
    if (status === 0) {
      say(words.ended);
      setState('ended');
    } else {
      say(lastError || words.failed, true);
      setState('error');
    }
  }

  function removeTree(path) {
    const FS = engine.FS;
    for (const name of FS.readdir(path)) {
      if (name === '.' || name === '..') continue;
      const p = `${path}/${name}`;
      if (FS.isDir(FS.stat(p).mode)) removeTree(p); else FS.unlink(p);
    }
    FS.rmdir(path);
  }

  function base64(bytes) {
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return btoa(text);
  }
  async function showPng(bytes) {
    const bitmap = await createImageBitmap(new Blob([bytes], { type: 'image/png' }));
    picture.width = bitmap.width;
    picture.height = bitmap.height;
    imageData = null;
    pictureContext.drawImage(bitmap, 0, 0);
    canvas.classList.add('shown');
    layout();
  }

  // Another story opened while one plays: the one playing is closed as its window would be.
  let currentRun = null;
  async function stopStory() {
    if (!currentRun) return;
    send(Event.Quit);
    for (const id of ['box', 'input-box']) {
      const box = $(id);
      if (box.open && box.oncancel) box.oncancel({ preventDefault() {} });
    }
    await currentRun.catch(() => {});
  }

  // A single file: a zip of a folder, or a story file as it is.
  async function openFile(name, bytes, identity) {
    if (isZip(bytes)) {
      let files;
      try {
        files = unzip(bytes);
      } catch (e) {
        say(e.message, true);
        return;
      }
      return openStory(name.replace(/\.zip$/i, ''), identity, files, projectOf(files));
    }
    return openStory(name, identity, [{ rel: name, data: bytes }], name);
  }

  async function openFromUrl(url) {
    const href = new URL(url, location.href).href;
    const name = decodeURIComponent(new URL(href).pathname.split('/').pop() || 'story');
    setState('loading');
    say(words.loadingStory(name));
    startProgress();
    let bytes;
    try {
      startEngine().catch(() => {});
      bytes = await fetchBytes(href, name, track('story'));
    } catch (e) {
      progress.hidden = true;
      say(words.fetchFailed(url, e.message), true);
      setState('error');
      return;
    }
    await openFile(name, bytes, href);
  }

  async function readPicked(fileList) {
    const list = [...fileList];
    if (!list.length) return;
    if (list.length === 1 && !list[0].webkitRelativePath) {
      const f = list[0];
      return openFile(f.name, new Uint8Array(await f.arrayBuffer()), `${f.name}:${f.size}`);
    }
    const files = [];
    for (const f of list) files.push({ rel: f.webkitRelativePath || f.name, data: new Uint8Array(await f.arrayBuffer()) });
    const project = projectOf(files);
    return openStory(project || 'story', `folder:${project}:${files.length}`, files, project);
  }
  $('open-file').addEventListener('change', (ev) => { readPicked(ev.target.files); ev.target.value = ''; });
  $('open-folder').addEventListener('change', (ev) => { readPicked(ev.target.files); ev.target.value = ''; });

  // Dropped files and folders (folders are walked through the entries API).
  async function entryFiles(entry, prefix, out) {
    if (entry.isFile) {
      const file = await new Promise((resolve, reject) => entry.file(resolve, reject));
      out.push({ rel: prefix + entry.name, data: new Uint8Array(await file.arrayBuffer()), size: file.size });
      return;
    }
    const reader = entry.createReader();
    for (;;) {
      const batch = await new Promise((resolve, reject) => reader.readEntries(resolve, reject));
      if (!batch.length) break;
      for (const e of batch) await entryFiles(e, `${prefix}${entry.name}/`, out);
    }
  }
  document.addEventListener('dragover', (ev) => { ev.preventDefault(); document.body.classList.add('dragging'); });
  document.addEventListener('dragleave', (ev) => { if (!ev.relatedTarget) document.body.classList.remove('dragging'); });
  document.addEventListener('drop', async (ev) => {
    ev.preventDefault();
    document.body.classList.remove('dragging');
    const items = [...(ev.dataTransfer.items || [])].filter((i) => i.kind === 'file');
    const entries = items.map((i) => (i.webkitGetAsEntry ? i.webkitGetAsEntry() : null)).filter(Boolean);
    if (entries.length === 1 && entries[0].isDirectory) {
      const files = [];
      await entryFiles(entries[0], '', files);
      return openStory(entries[0].name, `folder:${entries[0].name}:${files.length}`, files, entries[0].name);
    }
    return readPicked(ev.dataTransfer.files);
  });

  // ---- Saves out and in ------------------------------------------------------------------------
  $('export-saves').addEventListener('click', () => {
    if (!storyKey || !engine) { say(words.noStoryForSaves, true); return; }
    const zipped = {};
    for (const f of listFiles(`${kKeep}/${storyKey}`)) zipped[f.rel] = engine.FS.readFile(f.path);
    const blob = new Blob([fflate.zipSync(zipped)], { type: 'application/zip' });
    const a = document.createElement('a');
    a.href = URL.createObjectURL(blob);
    a.download = `${storyKey}-saves.zip`;
    document.body.append(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(a.href), 10000);
    say(words.exported(a.download));
  });
  $('import-saves').addEventListener('change', async (ev) => {
    const file = ev.target.files[0];
    ev.target.value = '';
    if (!file) return;
    if (!storyKey || !engine) { say(words.noStoryForSaves, true); return; }
    let files;
    try {
      files = unzip(new Uint8Array(await file.arrayBuffer()));
    } catch (e) {
      say(words.badSaves, true);
      return;
    }
    files = files.filter((f) => f.rel.startsWith('files/') || f.rel.startsWith('home/'));
    if (!files.length) { say(words.badSaves, true); return; }
    const FS = engine.FS;
    for (const f of files) {
      const kept = `${kKeep}/${storyKey}/${f.rel}`;
      mkdirs(kept.slice(0, kept.lastIndexOf('/')));
      FS.writeFile(kept, f.data);
      // The story's saves are read from its folder: the running story sees them at its next load.
      if (f.rel.startsWith('files/')) {
        const live = `${storyRoot(storyKey)}/${f.rel.slice(6)}`;
        mkdirs(live.slice(0, live.lastIndexOf('/')));
        FS.writeFile(live, f.data);
      }
    }
    persist();
    say(words.imported(files.length));
  });

  // ---- Start -----------------------------------------------------------------------------------
  // After the audio module (a module script, run once the page is parsed) has set itself up.
  document.addEventListener('DOMContentLoaded', () => {
    const story = params.get('story');
    if (story) openFromUrl(story);
  });
  setState('empty');
  if ('serviceWorker' in navigator && location.protocol !== 'file:') {
    navigator.serviceWorker.register('sw.js').catch(() => {});
  }
})();
