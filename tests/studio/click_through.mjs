// Vellumar Studio as a person uses it, in Debian's headless Chromium: open
// the page on the bundled sample, Organic, gutter 6, Unwrap, Choose Bake
// Elements with a diffuse element, the output folder through the page's
// file browser, Bake Group, the baked maps in the view. The baked file must
// equal the command-line tool's; the 3D view must draw something, and the
// checker mode something else; the server must refuse what it must.
//
//   node click_through.mjs VELLUMAR SAMPLES OUTDIR [--bench]
//
// Screenshots of every step land in OUTDIR. Exit 77 when Chromium or
// three.js is not installed.
import { spawn, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { launchChromium, needChromium } from './chromium.mjs';

const [vellumar, samples, outDir] = process.argv.slice(2);
const bench = process.argv.includes('--bench');
const puppeteer = await needChromium(['/usr/share/javascript/three/three.min.js']);
fs.mkdirSync(outDir, { recursive: true });
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'studio-'));
const fail = (why) => { throw new Error(why); };
const env = { ...process.env, VELLUMAR_DEFAULT_PRESET: path.join(work, 'none.vl') };
const model = process.env.STUDIO_MODEL || path.join(samples, 'crates.obj');
fs.copyFileSync(model, path.join(work, path.basename(model)));
const scene = path.join(work, path.basename(model));
// The sample is modelled Z-up, which an OBJ file cannot say.
const up = model.endsWith('crates.obj') ? ['--up', 'z'] : [];
fs.mkdirSync(path.join(work, 'maps'));
fs.mkdirSync(path.join(work, 'cli'));

// The command-line tool with the same settings, for comparison.
if (!bench) {
  execFileSync(vellumar, ['unwrap', scene, ...up, '--mode', 'organic', '--gutter', '6', '--group', 'crates',
    '--save', path.join(work, 'ref.vlscene')], { env, stdio: 'ignore' });
  execFileSync(vellumar, ['bake', path.join(work, 'ref.vlscene'), '--group', 'crates',
    '--element', 'DiffuseMap', '--slot', 'Diffuse Color', '--out', path.join(work, 'cli')],
  { env, stdio: 'ignore' });
}

const t0 = Date.now();
const server = spawn(vellumar, ['studio', scene, ...up, '--no-open', '--root', work], { env });
let serverOut = '';
server.stderr.on('data', (d) => { serverOut += d; });
const serverExit = new Promise((ok) => server.on('exit', (code) => ok(code)));
const address = await new Promise((ok, bad) => {
  let text = '';
  server.stdout.on('data', (d) => {
    text += d; serverOut += d;
    const m = text.match(/Vellumar Studio: (http:\S+)/);
    if (m) ok(m[1]);
  });
  server.on('exit', (code) => bad(new Error('the studio ended early (' + code + '): ' + serverOut)));
});
const url = new URL(address);
const token = url.searchParams.get('t');

function get(pathAndQuery, headers = {}) {
  return new Promise((ok, bad) => {
    const req = http.get({ host: '127.0.0.1', port: url.port, path: pathAndQuery, headers }, (res) => {
      let body = '';
      res.on('data', (d) => { body += d; });
      res.on('end', () => ok({ status: res.statusCode, body }));
    });
    req.on('error', bad);
  });
}

const browser = await launchChromium(puppeteer, path.join(work, 'chromium'), [
  '--disable-gpu-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--disable-quic']);
const results = [];
let step = 0;
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1280, height: 800 });
  page.on('pageerror', (e) => results.push('page error: ' + e.message));
  const shot = async (name) => {
    await page.screenshot({ path: path.join(outDir, String(++step).padStart(2, '0') + '-' + name + '.png') });
  };
  const tOpen = Date.now();
  await page.goto(address);
  await page.waitForFunction(() => window.studio && window.studio.ready && window.studio.panel, { timeout: 30000 });
  const pageReady = Date.now() - tOpen;
  const sceneMs = await page.evaluate(() => window.studio.sceneLoadMs);
  const ctl = (template, id) => `[data-template="${template}"] [data-id="${id}"]`;
  const waitState = (fn, arg) => page.waitForFunction(fn, { timeout: 60000 }, arg);
  await shot('opened');

  if (bench) {
    // A control change and its state coming back, ten times.
    const trips = [];
    for (let i = 0; i < 10; i++) {
      trips.push(await page.evaluate(() => new Promise((ok) => {
        const seq = window.studio.panel.seq;
        const t = performance.now();
        window.studio.act('set 1137 ' + (3 + (seq % 5)));
        const poll = () => (window.studio.panel.seq !== seq ? ok(performance.now() - t) : setTimeout(poll, 1));
        poll();
      })));
    }
    trips.sort((a, b) => a - b);
    // An organic unwrap, cancelled once it has run a while: does the page
    // keep drawing, does the bar move, and how soon does Cancel stop it?
    await page.evaluate(() => {
      const w = window.studio;
      w.frames = []; w.progressSeen = 0;
      const tick = (t) => { w.frames.push(t); if (w.frames.length < 100000) requestAnimationFrame(tick); };
      requestAnimationFrame(tick);
    });
    await page.click(ctl(101, 1089));
    await page.click(ctl(101, 1002));
    await page.waitForFunction(() => window.studio.progressEvents > 0, { timeout: 20000 });
    const tBar = Date.now();
    await new Promise((r) => setTimeout(r, 400));
    const tCancel = Date.now();
    // A small scene is unwrapped before Cancel could be pressed.
    const cancelled = await page.evaluate(() => {
      if (document.querySelector('#progress').hidden) return false;
      document.querySelector('#cancel').click();
      return true;
    });
    await page.waitForSelector('#progress[hidden]', { timeout: 60000 });
    const cancelMs = cancelled ? Date.now() - tCancel : null;
    const progressEvents = await page.evaluate(() => window.studio.progressEvents);
    const during = await page.evaluate((since) => {
      const f = window.studio.frames;
      let worst = 0;
      for (let i = 1; i < f.length; i++) worst = Math.max(worst, f[i] - f[i - 1]);
      return { frames: f.length, worstFrameGapMs: Math.round(worst),
        groups: window.studio.panel.rollouts.find((r) => r.template === 106).controls.find((c) => c.id === 1101).items.length };
    }, tBar);
    console.log(JSON.stringify({ model: path.basename(model), pageReadyMs: pageReady, sceneLoadMs: Math.round(sceneMs),
      roundTripMedianMs: +trips[5].toFixed(1), roundTripMaxMs: +trips[9].toFixed(1), startMs: tOpen - t0,
      progressMessages: progressEvents, unwrapCancelledAfterMs: cancelMs, groupsAfterCancel: during.groups, worstFrameGapDuringRunMs: during.worstFrameGapMs }));
  } else {
    // Organic, gutter 6, the group's name, Unwrap.
    await page.click(ctl(101, 1089));
    await waitState(() => window.studio.panel.rollouts[0].controls.find((c) => c.id === 1089).checked);
    const gutter = await page.$(ctl(101, 1131));
    await gutter.click({ clickCount: 3 });
    await gutter.type('6\n');
    await waitState(() => window.studio.panel.rollouts[0].controls.find((c) => c.id === 1137).value === 6);
    const name = await page.$(ctl(101, 1102));
    await name.click({ clickCount: 3 });
    await name.type('crates\n');
    await page.click(ctl(101, 1002));
    await waitState(() => window.studio.panel.rollouts.find((r) => r.template === 106)
      .controls.find((c) => c.id === 1101).items.some((it) => it.text === 'crates'));
    await shot('unwrapped');

    // Choose Bake Elements: Add, DiffuseMap, Add, Close.
    await page.click(ctl(106, 1012));
    await page.waitForSelector(ctl(105, 1107));
    await page.click(ctl(105, 1107));
    await page.waitForSelector(ctl(118, 1124) + ' tr.lvrow');
    const rows = await page.$$(ctl(118, 1124) + ' tr.lvrow');
    let diffuse = null;
    for (const r of rows) if ((await r.evaluate((e) => e.textContent)) === 'DiffuseMap') diffuse = r;
    if (!diffuse) fail('no DiffuseMap in the Add dialog');
    await diffuse.click();
    await page.waitForSelector(ctl(118, 1124) + ' tr.lvrow.sel');
    await shot('add-dialog');
    await page.click(ctl(118, 1122));
    await page.waitForFunction(() => !document.querySelector('[data-template="118"]'));
    // The element feeds the baked material's diffuse slot.
    await page.click(ctl(105, 1106) + ' tr.lvrow');
    await page.waitForFunction(() => !document.querySelector('[data-template="105"] [data-id="1110"]').disabled);
    const slot = await page.$(ctl(105, 1110));
    await slot.select('Diffuse Color');
    await page.waitForFunction(() => window.studio.panel.modals[0].controls.find((c) => c.id === 1106)
      .items[0].cells[2] === 'Diffuse Color');
    await shot('elements');
    await page.click(ctl(105, 1105));
    await page.waitForFunction(() => !document.querySelector('[data-template="105"]'));

    // The output folder through the page's file browser.
    await page.click(ctl(106, 1025));
    await page.waitForSelector('#files:not([hidden]) li[data-name="maps"]');
    await shot('folder-browser');
    await page.click('#files li[data-name="maps"]');
    await page.waitForFunction(() => document.querySelector('#files .path').textContent === '/maps');
    await page.click('#files .ok');
    await waitState(() => window.studio.panel.rollouts.find((r) => r.template === 106)
      .controls.find((c) => c.id === 1019).text.endsWith('/maps'));

    // Bake Group; the view follows the scene by itself.
    const before = await page.evaluate(() => window.studio.sceneVersion);
    await page.click(ctl(106, 1013));
    await waitState((v) => window.studio.sceneVersion > v && window.studio.loadedVersion === window.studio.sceneVersion, before);
    await shot('baked');
    const baked = path.join(work, 'maps', 'crates_DiffuseMap.png');
    const reference = path.join(work, 'cli', 'crates_DiffuseMap.png');
    if (!fs.existsSync(baked)) fail('Bake Group wrote no crates_DiffuseMap.png: ' + fs.readdirSync(path.join(work, 'maps')));
    if (!fs.readFileSync(baked).equals(fs.readFileSync(reference))) fail('the studio\'s bake differs from the tool\'s');
    results.push('baked map equals the tool\'s');

    // What the view draws: something, and different things per mode.
    const picture = () => page.evaluate(() => {
      const src = document.querySelector('#canvas3d');
      const c = document.createElement('canvas');
      c.width = 160; c.height = 100;
      const g = c.getContext('2d');
      g.drawImage(src, 0, 0, c.width, c.height);
      const d = g.getImageData(0, 0, c.width, c.height).data;
      const colours = new Set();
      let sum = 0;
      for (let i = 0; i < d.length; i += 4) { colours.add((d[i] << 16) | (d[i + 1] << 8) | d[i + 2]); sum = (sum * 31 + d[i] + d[i + 1] * 7 + d[i + 2] * 13) >>> 0; }
      return { colours: colours.size, sum };
    });
    const setMode = async (mode) => {
      await page.select('#mode', mode);
      await page.waitForFunction(() => window.studio.loadedVersion === window.studio.sceneVersion);
      await new Promise((r) => setTimeout(r, 300));
    };
    await setMode('materials');
    const materials = await picture();
    await shot('materials');
    await setMode('checker');
    const checker = await picture();
    await shot('checker');
    await setMode('baked');
    await shot('baked-maps');
    await page.click('#uvview');
    await new Promise((r) => setTimeout(r, 200));
    await shot('uv-view');
    if (materials.colours < 8) fail('the 3D view is blank (' + materials.colours + ' colours)');
    if (checker.sum === materials.sum) fail('the checker mode draws what the material mode draws');
    results.push(`view: ${materials.colours} colours in material mode, checker differs`);

    // What the server must refuse.
    const refusals = [
      ['no token', await get('/')],
      ['wrong token', await get('/?t=' + 'f'.repeat(64))],
      ['foreign origin', await get('/?t=' + token, { Origin: 'http://evil.example' })],
      ['foreign host', await get('/?t=' + token, { Host: 'evil.example:' + url.port })],
      ['path escaping the folder', await get('/files?t=' + token + '&dir=..')],
      ['absolute path', await get('/files?t=' + token + '&dir=%2Fetc')],
    ];
    for (const [what, r] of refusals) if (r.status !== 403) fail(what + ' answered ' + r.status);
    const ok = await get('/files?t=' + token + '&dir=maps');
    if (ok.status !== 200 || !ok.body.includes('crates_DiffuseMap.png')) fail('the folder listing fails: ' + ok.status);
    const ws = await get('/ws?t=' + token, { Connection: 'Upgrade', Upgrade: 'websocket', 'Sec-WebSocket-Version': '13',
      'Sec-WebSocket-Key': 'dGhlIHNhbXBsZSBub25jZQ==', Origin: 'http://evil.example' });
    if (ws.status !== 403) fail('a foreign page\'s WebSocket was answered ' + ws.status);
    results.push('refused: ' + refusals.map((r) => r[0]).join(', ') + ', foreign WebSocket');

    // Quit asks about the unsaved scene.
    await page.click('#quit');
    await page.waitForSelector('#confirm:not([hidden])');
    await shot('quit-asks');
    await page.click('#confirm .discard');
  }
  if (!bench) {
    const code = await serverExit;
    if (code !== 0) fail('the studio ended with ' + code + ': ' + serverOut);
  }
  for (const r of results) console.log(r);
  if (results.some((r) => r.startsWith('page error'))) fail(results.join('\n'));
  console.log('screenshots: ' + outDir);
} catch (e) {
  console.error('FAIL: ' + e.message + '\n--- studio output:\n' + serverOut);
  try {
    const pages = await browser.pages();
    const last = pages[pages.length - 1];
    console.error('--- page: ' + await last.evaluate(() => JSON.stringify({ errors: window.studio.errors,
      messages: window.studio.messages, selector: window.studio.panel && window.studio.panel.selector,
      modals: window.studio.panel && window.studio.panel.modals.map((m) => m.template) })));
    await last.screenshot({ path: path.join(outDir, 'failed.png') });
  } catch {}
  process.exitCode = 1;
} finally {
  await browser.close();
  server.kill('SIGINT');
  fs.rmSync(work, { recursive: true, force: true });
}
