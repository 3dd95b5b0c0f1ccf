// Debian's headless Chromium through puppeteer-core, for the browser tests.
// A machine without either skips the test (exit 77).
import fs from 'node:fs';

const chromium = '/usr/bin/chromium';

// Exits 77 unless Chromium, puppeteer-core and every one of `files` are
// there; returns puppeteer.
export async function needChromium(files = []) {
  for (const f of [chromium, ...files]) {
    if (!fs.existsSync(f)) {
      console.log(`skipped: needs ${f} (scripts/setup.sh installs it)`);
      process.exit(77);
    }
  }
  try {
    return (await import('puppeteer-core')).default;
  } catch {
    console.log('skipped: needs puppeteer-core (npm ci in tests/studio; scripts/setup.sh does it)');
    process.exit(77);
  }
}

// A browser with a profile of its own in `profile` and nothing that reaches
// out to the network; `args` add to the flags.
export async function launchChromium(puppeteer, profile, args = []) {
  return puppeteer.launch({
    executablePath: chromium,
    headless: true,
    args: ['--no-sandbox', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--user-data-dir=' + profile, ...args],
  });
}
