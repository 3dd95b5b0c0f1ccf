// Opens a page from disk in Debian's headless Chromium, as a person opens
// a file, and keeps a screenshot of it:
//   node page_shot.mjs PAGE.html OUT.png ROWS IMAGES
// Fails unless the page's table has ROWS body rows and at least IMAGES
// pictures that loaded. Exit 77 when Chromium or puppeteer-core is missing.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { launchChromium, needChromium } from './chromium.mjs';

const [page, shot, rows, images] = process.argv.slice(2);
const puppeteer = await needChromium();
const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'page-shot-'));
const browser = await launchChromium(puppeteer, profile, ['--disable-gpu']);
try {
  const tab = await browser.newPage();
  await tab.setViewport({ width: 1200, height: 700 });
  await tab.goto(pathToFileURL(path.resolve(page)).href, { waitUntil: 'load' });
  // The first column header sorts; a second click turns the order round.
  await tab.click('th');
  const seen = await tab.evaluate(() => ({
    rows: document.querySelectorAll('tbody tr').length,
    images: [...document.images].filter((i) => i.complete && i.naturalWidth > 0).length,
  }));
  fs.mkdirSync(path.dirname(shot), { recursive: true });
  await tab.screenshot({ path: shot, fullPage: true });
  console.log(`${seen.rows} rows, ${seen.images} pictures; screenshot ${shot}`);
  if (seen.rows !== Number(rows) || seen.images < Number(images)) {
    console.error('FAIL: expected ' + rows + ' rows and ' + images + ' pictures');
    process.exitCode = 1;
  }
} finally {
  await browser.close();
  fs.rmSync(profile, { recursive: true, force: true });
}
