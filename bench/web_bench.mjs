// The web page's figures (a benchmark: it prints, it asserts nothing), in
// headless Chromium from the page scripts/web.sh serves (built first):
//   - from the navigation to a usable page (the core loaded, both cards drawn);
//   - the page's code and WebAssembly, compressed as a server sends them;
//   - a card file opened and shown, the median of ten;
//   - a whole card read through an emulated serial reader paced at its line's
//     speed, against the time its bytes take on the wire.
// Usage: node bench/web_bench.mjs   (after scripts/web.sh --build and the native build)
import {execFileSync} from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import zlib from "node:zlib";

import {BUILD, button, chooseFile, launchBrowser, openPage, pane, serialReader, startServer, tempFolder}
  from "../tests/web/harness.mjs";

const site = path.join(BUILD, "web/site");
const folder = tempFolder();
const demo = path.join(folder, "demo.mcr");
execFileSync(path.join(BUILD, "native/bin/make_demo_card"), [demo]);
const server = await startServer();
const browser = await launchBrowser();
const median = values => values.sort((a, b) => a - b)[Math.floor(values.length / 2)];

try {
  const loads = [];
  for (let run = 0; run < 5; ++run) {
    const {page, close} = await openPage(browser, server.url);
    loads.push(await page.evaluate(() => performance.getEntriesByName("usable")[0].startTime));
    await close();
  }
  console.log(`navigation to a usable page: ${median(loads).toFixed(0)} ms (median of 5; first ${loads[0].toFixed(0)} ms)`);

  let raw = 0, compressed = 0;
  for (const name of fs.readdirSync(site).filter(name => /\.(m?js|wasm|html|css)$/.test(name))) {
    const bytes = fs.readFileSync(path.join(site, name));
    raw += bytes.length;
    compressed += zlib.gzipSync(bytes, {level: 9}).length;
  }
  console.log(`code and WebAssembly: ${(raw / 1024).toFixed(0)} KiB, ${(compressed / 1024).toFixed(0)} KiB gzip-compressed`);

  const {page, close} = await openPage(browser, server.url);
  for (let run = 0; run < 10; ++run)
    await chooseFile(page, async () => {
      await button(page, 0, "Open MC/GME").click();
      if (run > 0) await page.locator("dialog#message[open]").getByRole("button", {name: "Yes"}).click();
    }, demo).then(() => page.waitForFunction(n => performance.getEntriesByName("open-card").length > n, run));
  const opens = await page.evaluate(() => performance.getEntriesByName("open-card").map(e => e.duration));
  console.log(`a card file opened and shown: ${median(opens).toFixed(1)} ms (median of 10)`);
  await close();

  const lines = [
    {name: "MemCARDuino at 115200 bit/s", value: "1,1", kind: "memcarduino", bytes: 3 + 130, baud: 115200},
    {name: "PS1CardLink at 115200 bit/s", value: "3,1", kind: "ps1cardlink", bytes: 3 + 130, baud: 115200},
  ];
  for (const line of lines) {
    const session = await openPage(browser, server.url);
    const reader = await serialReader(session.page, line.kind, demo, {state: path.join(folder, line.kind), paced: true});
    await session.page.locator("#reader-kind").selectOption(line.value);
    await button(session.page, 0, "Read from PS3MCA").click();
    await pane(session.page, 0).locator(".counter").filter({hasText: "7/15"}).waitFor({timeout: 120000});
    const took = await session.page.evaluate(() => performance.getEntriesByName("read-card")[0].duration);
    const wire = (1024 * line.bytes * 10 * 1000) / line.baud;
    console.log(`a whole card read through ${line.name}: ${(took / 1000).toFixed(2)} s, ` +
                `the bytes' time on the wire ${(wire / 1000).toFixed(2)} s (+${((took / wire - 1) * 100).toFixed(1)} %)`);
    reader.stop();
    await session.close();
  }
} finally {
  await browser.close();
  server.stop();
  fs.rmSync(folder, {recursive: true, force: true});
}
