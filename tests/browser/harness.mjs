// What the browser tests and measurements share: a static server on 127.0.0.1 for the web
// build's site and the test stories, Debian's Chromium driven by playwright-core, and reading
// the story's screen back from the page.
import { createServer } from 'node:http';
import { createReadStream, existsSync, readFileSync, statSync } from 'node:fs';
import { dirname, extname, join, normalize, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { inflateSync } from 'node:zlib';
import { chromium } from 'playwright-core';

export const root = resolve(dirname(fileURLToPath(import.meta.url)), '../..');

// The builds: the web build's site, and the native build whose player is the reference and
// whose code made the stories (tests/browser/CMakeLists.txt). run.sh says where they are.
export const paths = {
  site: resolve(process.env.ZARVO_WEB_SITE ?? join(root, 'build-web/site')),
  native: resolve(process.env.ZARVO_NATIVE_BUILD ?? join(root, 'build')),
};
paths.stories = join(paths.native, 'browser-stories');
paths.demo = join(paths.native, 'demo');

const types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript',
  '.mjs': 'text/javascript',
  '.wasm': 'application/wasm',
  '.css': 'text/css',
  '.json': 'application/json',
  '.png': 'image/png',
  '.svg': 'image/svg+xml',
  '.txt': 'text/plain; charset=utf-8',
  '.webmanifest': 'application/manifest+json',
};

// A file under `base` for a URL path, or null when the path leaves it or names no file.
function fileUnder(base, urlPath) {
  const file = normalize(join(base, decodeURIComponent(urlPath)));
  if (!file.startsWith(base)) return null;
  let f = file;
  if (existsSync(f) && statSync(f).isDirectory()) f = join(f, 'index.html');
  return existsSync(f) && statSync(f).isFile() ? f : null;
}

// Serves the site at /, the stories at /stories/, the demo at /demo/ and any folder mounted
// later with `mount`; /slow/stories/NAME sends a story in 1 KB pieces every `slowDelayMs`, with
// its length announced, so that a page can show its progress. Caching is allowed, so a second
// load is a load from a warm cache.
export async function startServer() {
  const mounts = new Map([
    ['/stories/', paths.stories],
    ['/demo/', paths.demo],
  ]);
  const server = createServer((req, res) => {
    const url = new URL(req.url, 'http://localhost');
    let path = url.pathname;
    let slow = false;
    if (path.startsWith('/slow/')) {
      slow = true;
      path = path.slice('/slow'.length);
    }
    let file = null;
    for (const [prefix, dir] of mounts)
      if (path.startsWith(prefix)) file = fileUnder(dir, path.slice(prefix.length));
    if (!file && ![...mounts.keys()].some((p) => path.startsWith(p)))
      file = fileUnder(paths.site, path);
    if (!file) {
      res.writeHead(404, { 'Content-Type': 'text/plain' });
      res.end('not found');
      return;
    }
    const stat = statSync(file);
    const headers = {
      'Content-Type': types[extname(file).toLowerCase()] ?? 'application/octet-stream',
      'Content-Length': stat.size,
      'Last-Modified': stat.mtime.toUTCString(),
      'Cache-Control': slow ? 'no-store' : 'max-age=600',
    };
    res.writeHead(200, headers);
    if (req.method === 'HEAD') {
      res.end();
      return;
    }
    if (!slow) {
      createReadStream(file).pipe(res);
      return;
    }
    const bytes = readFileSync(file);
    let at = 0;
    const next = () => {
      if (res.destroyed) return;
      if (at >= bytes.length) {
        res.end();
        return;
      }
      res.write(bytes.subarray(at, at + 1024));
      at += 1024;
      setTimeout(next, server.slowDelayMs);
    };
    next();
  });
  server.slowDelayMs = 100;
  server.mount = (prefix, dir) => mounts.set(prefix, resolve(dir));
  await new Promise((ok) => server.listen(0, '127.0.0.1', ok));
  server.origin = `http://127.0.0.1:${server.address().port}`;
  return server;
}

// Chromium headless as root in a container: no sandbox, no GPU, and no name resolved but the
// loopback address, so that nothing the browser does on its own reaches out of the machine.
// Headless Chromium lets audio start without the reader: the autoplay policy is a desktop
// browser's.
export async function launchBrowser() {
  return chromium.launch({
    executablePath: process.env.ZARVO_CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    args: [
      '--no-sandbox',
      '--disable-gpu',
      '--disable-dev-shm-usage',
      '--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1',
      '--no-pings',
      '--autoplay-policy=document-user-activation-required',
    ],
  });
}

// A new page at `query` ("?story=..."); the page's console errors are kept in page.errors.
export async function openPage(context, origin, query = '') {
  const page = await context.newPage();
  page.errors = [];
  page.on('pageerror', (e) => page.errors.push(String(e)));
  page.on('console', (m) => {
    if (m.type() === 'error') page.errors.push(m.text());
  });
  await page.goto(`${origin}/${query}`);
  return page;
}

export async function waitForState(page, states, timeout = 60000) {
  const wanted = [].concat(states);
  await page.waitForFunction((w) => w.includes(document.body.dataset.state), wanted, { timeout });
  return page.evaluate(() => document.body.dataset.state);
}

// The story's screen size; the canvas shows it scaled to the element's box.
export const screen = { width: 640, height: 480 };

// Page coordinates of a point of the story's screen.
export async function screenPoint(page, x, y) {
  const box = await page.locator('#canvas').boundingBox();
  return {
    x: box.x + ((x + 0.5) * box.width) / screen.width,
    y: box.y + ((y + 0.5) * box.height) / screen.height,
  };
}

// The colour [r, g, b] shown at a point of the story's screen, read from a screenshot of the
// canvas as the reader sees it.
export async function colorAt(page, x, y) {
  return (await screenImage(page)).at(x, y);
}

export function near(color, want, tolerance = 24) {
  return color.every((c, i) => Math.abs(c - want[i]) <= tolerance);
}

// Waits until the screen shows `want` at (x, y); returns the last colour seen.
export async function waitForColor(page, x, y, want, timeout = 30000) {
  const end = Date.now() + timeout;
  let seen;
  do {
    seen = await colorAt(page, x, y);
    if (near(seen, want)) return seen;
    await page.waitForTimeout(100);
  } while (Date.now() < end);
  throw new Error(`the screen shows ${seen} at ${x},${y}, not ${want}`);
}

// 8-bit RGB or RGBA PNG (what Chromium's screenshots are) to RGBA pixels.
export function decodePng(png) {
  let pos = 8;
  let width = 0;
  let height = 0;
  let channels = 0;
  const idat = [];
  while (pos < png.length) {
    const length = png.readUInt32BE(pos);
    const type = png.toString('latin1', pos + 4, pos + 8);
    const body = png.subarray(pos + 8, pos + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      if (body[8] !== 8 || (body[9] !== 2 && body[9] !== 6) || body[12] !== 0)
        throw new Error('decodePng: only 8-bit RGB or RGBA without interlace');
      channels = body[9] === 6 ? 4 : 3;
    } else if (type === 'IDAT') {
      idat.push(body);
    }
    pos += 12 + length;
  }
  const raw = inflateSync(Buffer.concat(idat));
  const stride = width * channels;
  const out = Buffer.alloc(width * height * 4);
  let prev = Buffer.alloc(stride);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    const line = Buffer.from(raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1)));
    for (let i = 0; i < stride; ++i) {
      const a = i >= channels ? line[i - channels] : 0;
      const b = prev[i];
      const c = i >= channels ? prev[i - channels] : 0;
      let add = 0;
      if (filter === 1) add = a;
      else if (filter === 2) add = b;
      else if (filter === 3) add = (a + b) >> 1;
      else if (filter === 4) {
        const p = a + b - c;
        const pa = Math.abs(p - a);
        const pb = Math.abs(p - b);
        const pc = Math.abs(p - c);
        add = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      line[i] = (line[i] + add) & 0xff;
    }
    for (let x = 0; x < width; ++x) {
      const o = (y * width + x) * 4;
      out[o] = line[x * channels];
      out[o + 1] = line[x * channels + 1];
      out[o + 2] = line[x * channels + 2];
      out[o + 3] = channels === 4 ? line[x * channels + 3] : 255;
    }
    prev = line;
  }
  return { width, height, data: out };
}

// The screen as shown now, with its colour at a point of the story's screen and a count of
// the points of a rectangle whose colour passes a test.
export async function screenImage(page) {
  const image = decodePng(await page.locator('#canvas').screenshot());
  const index = (x, y) => {
    const px = Math.min(image.width - 1, Math.floor(((x + 0.5) * image.width) / screen.width));
    const py = Math.min(image.height - 1, Math.floor(((y + 0.5) * image.height) / screen.height));
    return (py * image.width + px) * 4;
  };
  image.at = (x, y) => {
    const i = index(x, y);
    return [image.data[i], image.data[i + 1], image.data[i + 2]];
  };
  image.count = (x0, y0, x1, y1, test) => {
    let n = 0;
    for (let y = y0; y < y1; ++y) for (let x = x0; x < x1; ++x) n += test(image.at(x, y)) ? 1 : 0;
    return n;
  };
  image.same = (other) => image.data.equals(other.data);
  // Alike but for a rectangle of the story's screen (a blinking mark, say), point by point.
  image.sameExcept = (other, [x0, y0, x1, y1]) => {
    if (image.width !== other.width || image.height !== other.height) return false;
    for (let y = 0; y < screen.height; ++y)
      for (let x = 0; x < screen.width; ++x) {
        if (x >= x0 && x < x1 && y >= y0 && y < y1) continue;
        const a = image.at(x, y);
        const b = other.at(x, y);
        if (a[0] !== b[0] || a[1] !== b[1] || a[2] !== b[2]) return false;
      }
    return true;
  };
  return image;
}

// The screen once it has stopped changing (typing, effects): two screenshots alike.
export async function steadyScreen(page, timeout = 20000) {
  const end = Date.now() + timeout;
  let last = await screenImage(page);
  for (;;) {
    await page.waitForTimeout(250);
    const now = await screenImage(page);
    if (now.same(last)) return now;
    if (Date.now() > end) throw new Error('the screen keeps changing');
    last = now;
  }
}
