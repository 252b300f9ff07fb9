// The page works offline once it has been opened: every file of the site is kept at install
// (scripts/build-web writes the list and the version below), and stories fetched by address are
// kept as they arrive. A new site version replaces the kept files as a whole.
'use strict';
const VERSION = 'zarvoplay-@VERSION@';
const SITE = [@FILES@];
const STORIES = 'zarvoplay-stories';

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(VERSION).then((cache) => cache.addAll(SITE)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((keys) => Promise.all(keys.filter((k) => k !== VERSION && k !== STORIES).map((k) => caches.delete(k))))
    .then(() => self.clients.claim()));
});

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith((async () => {
    // The page's address carries the story and test parameters; the page itself is one file.
    const site = await caches.open(VERSION);
    const hit = await site.match(request, { ignoreSearch: request.mode === 'navigate' });
    if (hit) return hit;
    const stories = await caches.open(STORIES);
    try {
      const response = await fetch(request);
      if (response.ok && response.status === 200) await stories.put(request, response.clone());
      return response;
    } catch (error) {
      const kept = await stories.match(request);
      if (kept) return kept;
      throw error;
    }
  })());
});
