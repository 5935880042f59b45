// Keeps the page's files so that it opens offline once loaded: each is answered from the cache, and fetched
// again in the background when the network is there, so that a new build is taken on the next visit.
'use strict';

const CACHE = 'kestrel-page';
const FILES = ['./', 'index.html', 'style.css', 'app.js', 'kestrel.js', 'kestrel.wasm'];

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(FILES)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(self.clients.claim());
});

self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET' || new URL(event.request.url).origin !== location.origin) return;
  event.respondWith(caches.open(CACHE).then(async (cache) => {
    const cached = await cache.match(event.request, {ignoreSearch: true});
    const fresh = fetch(event.request).then((response) => {
      if (response.ok) cache.put(event.request, response.clone());
      return response;
    });
    if (cached) {
      event.waitUntil(fresh.catch(() => {}));
      return cached;
    }
    return fresh;
  }));
});
