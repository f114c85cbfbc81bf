// The page served as plain files on this machine and Debian's Chromium driven headless:
// what the page test and the page's benchmark share.
import { spawn } from 'node:child_process';
import puppeteer from 'puppeteer-core';

// A static server for `folder` on a free port of 127.0.0.1: { origin, stop }.
export async function serve(folder) {
  const server = spawn('python3', ['-u', '-m', 'http.server', '--bind', '127.0.0.1', '0', '-d', folder],
                       { stdio: ['ignore', 'pipe', 'ignore'] });
  const port = await new Promise((resolve, reject) => {
    server.stdout.on('data', (chunk) => {
      const found = /port (\d+)/.exec(String(chunk));
      if (found) resolve(Number(found[1]));
    });
    server.on('exit', () => reject(new Error('the static server did not start')));
  });
  return { origin: `http://127.0.0.1:${port}`, stop: () => server.kill() };
}

// Chromium, never downloaded: /usr/bin/chromium or $CHROMIUM. `microphone` is a WAV file
// that getUserMedia delivers in place of a sound card.
export function launch(microphone = null) {
  const args = ['--no-sandbox', '--autoplay-policy=no-user-gesture-required'];
  if (microphone)
    args.push('--use-fake-ui-for-media-stream', '--use-fake-device-for-media-stream',
              `--use-file-for-fake-audio-capture=${microphone}`);
  return puppeteer.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', headless: true, args });
}

// Opens the page; `problems` collects console errors, page errors and any request that
// leaves the page's host.
export async function openPage(browser, origin, problems) {
  const page = await browser.newPage();
  await page.setViewport({ width: 1000, height: 900 });
  page.on('console', (message) => { if (message.type() === 'error') problems.push(`console: ${message.text()}`); });
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  page.on('request', (request) => {
    const url = request.url();
    if (!url.startsWith(`${origin}/`) && !url.startsWith('blob:') && !url.startsWith('data:'))
      problems.push(`request outside the page's host: ${url}`);
  });
  await page.goto(`${origin}/index.html`);
  await page.waitForSelector('body[data-ready]');
  return page;
}

// Offers `files` through the page's file input and waits until each has its card.
export async function offer(page, ...files) {
  const done = await page.$$eval('.result.done', (cards) => cards.length);
  await (await page.$('#choose')).uploadFile(...files);
  await page.waitForFunction((n) => document.querySelectorAll('.result.done').length >= n,
                             { timeout: 120000 }, done + files.length);
}

// The files offered for download under `selector`, by name, as Buffers.
export async function links(page, selector) {
  const found = await page.$$eval(`${selector} a[download]`, async (anchors) => {
    const files = {};
    for (const a of anchors) {
      const bytes = new Uint8Array(await (await fetch(a.href)).arrayBuffer());
      let text = '';
      for (const b of bytes) text += String.fromCharCode(b);
      files[a.download] = files[a.download] || btoa(text);
    }
    return files;
  });
  return Object.fromEntries(Object.entries(found).map(([name, base64]) => [name, Buffer.from(base64, 'base64')]));
}

// RIFF WAVE around 16-bit samples, interleaved when there are several channels.
export function wave16(channels, sampleRate, samples) {
  const data = Buffer.alloc(samples.length * 2);
  samples.forEach((value, k) => data.writeInt16LE(value, 2 * k));
  const header = Buffer.alloc(44);
  header.write('RIFF', 0);
  header.writeUInt32LE(36 + data.length, 4);
  header.write('WAVEfmt ', 8);
  header.writeUInt32LE(16, 16);
  header.writeUInt16LE(1, 20);
  header.writeUInt16LE(channels, 22);
  header.writeUInt32LE(sampleRate, 24);
  header.writeUInt32LE(sampleRate * channels * 2, 28);
  header.writeUInt16LE(channels * 2, 32);
  header.writeUInt16LE(16, 34);
  header.write('data', 36);
  header.writeUInt32LE(data.length, 40);
  return Buffer.concat([header, data]);
}
