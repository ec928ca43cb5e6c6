// Opens pages of a saved copy in the system chromium with the network cut off
// and checks that every request they make is a file: URL that loads, that their
// images, stylesheets and fonts are there, and that every link leads to a saved
// page.
//   node offline_check.mjs SAVE_DIR PAGE...   (pages relative to SAVE_DIR)
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import puppeteer from 'puppeteer-core';

const [saveDir, ...pages] = process.argv.slice(2);
if (!saveDir || pages.length === 0) {
  console.error('usage: node offline_check.mjs SAVE_DIR PAGE...');
  process.exit(2);
}
const root = fs.realpathSync(saveDir);
const problems = [];
let requestsLoaded = 0;
let linksFollowed = 0;

const userDataDir = fs.mkdtempSync(path.join(os.tmpdir(), 'harvex-chromium-'));
const browser = await puppeteer.launch({
  executablePath: process.env.HARVEX_CHROMIUM || '/usr/bin/chromium',
  headless: true,
  pipe: true,
  userDataDir,
  args: [
    '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    // No name resolves: even a request that slipped past the interception
    // below could not reach a server.
    '--host-resolver-rules=MAP * ~NOTFOUND',
  ],
});

function insideCopy(fileUrl) {
  const file = fileURLToPath(fileUrl);
  return file === root || file.startsWith(root + path.sep);
}

// A page opened from disk; every request it makes is recorded, and any that
// is not a file: URL is refused.
async function openFromDisk(fileUrl, label) {
  const page = await browser.newPage();
  await page.setRequestInterception(true);
  const requests = new Map();
  page.on('request', (request) => {
    const url = request.url();
    requests.set(request, url);
    if (url.startsWith('file:') || url.startsWith('data:')) {
      request.continue().catch(() => {});
    } else {
      problems.push(`${label}: asked the network for ${url}`);
      request.abort('internetdisconnected').catch(() => {});
    }
  });
  page.on('requestfailed', (request) => {
    const url = request.url();
    if (url.startsWith('file:')) {
      problems.push(`${label}: ${url} did not load (${request.failure()?.errorText})`);
    }
  });
  page.on('requestfinished', (request) => {
    if (request.url().startsWith('file:')) requestsLoaded += 1;
  });
  page.on('pageerror', (error) => problems.push(`${label}: script error ${error.message}`));
  await page.goto(fileUrl, { waitUntil: 'networkidle0', timeout: 30000 });
  await page.evaluate(() => document.fonts.ready);
  for (const url of requests.values()) {
    if (url.startsWith('file:') && !insideCopy(url)) {
      problems.push(`${label}: loaded ${url}, which lies outside the copy`);
    }
  }
  return page;
}

for (const relative of pages) {
  const file = path.join(root, relative);
  const label = relative;
  if (!fs.existsSync(file)) {
    problems.push(`${label}: not saved`);
    continue;
  }
  const page = await openFromDisk(pathToFileURL(file).href, label);
  const seen = await page.evaluate(() => ({
    images: Array.from(document.images).map((image) => ({
      src: image.currentSrc || image.src,
      ok: image.complete && image.naturalWidth > 0,
    })),
    fonts: Array.from(document.fonts).map((font) => ({ family: font.family, status: font.status })),
    sheets: Array.from(document.styleSheets).map((sheet) => sheet.href),
    links: Array.from(document.querySelectorAll('a[href]')).map((a) => a.href),
    marker: getComputedStyle(document.documentElement).getPropertyValue('--imported').trim(),
    script: document.documentElement.dataset.script || '',
  }));
  for (const image of seen.images) {
    if (!image.ok) problems.push(`${label}: image ${image.src} is not shown`);
  }
  for (const font of seen.fonts) {
    if (font.status !== 'loaded') problems.push(`${label}: font ${font.family} is ${font.status}`);
  }
  if (seen.fonts.length === 0) problems.push(`${label}: no web font`);
  if (seen.marker !== 'yes') problems.push(`${label}: the imported stylesheet did not apply`);
  if (seen.script !== 'ran') problems.push(`${label}: the script did not run`);
  await page.close();

  for (const link of new Set(seen.links.map((href) => href.split('#')[0]))) {
    if (!link.startsWith('file:')) {
      problems.push(`${label}: link ${link} leads to the web`);
      continue;
    }
    const target = fileURLToPath(link);
    if (!insideCopy(link) || !fs.existsSync(target) || !fs.statSync(target).isFile()) {
      problems.push(`${label}: link ${link} finds no saved page`);
      continue;
    }
    const linked = await openFromDisk(link, `${label} -> ${path.relative(root, target)}`);
    const title = await linked.title();
    if (!title) problems.push(`${label}: link ${link} shows a page without a title`);
    await linked.close();
    linksFollowed += 1;
  }
}

await browser.close();
fs.rmSync(userDataDir, { recursive: true, force: true });

console.log(`${pages.length} pages opened, ${linksFollowed} links followed, ` +
            `${requestsLoaded} files loaded from the copy`);
if (problems.length > 0) {
  for (const problem of problems) console.log(`PROBLEM: ${problem}`);
  process.exit(1);
}
