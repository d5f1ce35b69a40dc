// The page as an app: once loaded it asks nothing of any server, works
// offline from its service worker, and offers what a browser installs.
import assert from "node:assert/strict";
import {test} from "node:test";

import {answer, button, chooseFile, downloaded, pageFixture, pane, slot} from "./harness.mjs";

const fixture = pageFixture();

test("after the page has loaded, nothing is requested from anywhere", async () => {
  const {page, context, close} = await fixture.open();
  const requested = [];
  context.on("request", request => {
    if (/^(https?|wss?):/.test(request.url())) requested.push(request.url());
  });
  await chooseFile(page, () => button(page, 0, "Open MC/GME").click(), fixture.file("demo.mcr"));
  await pane(page, 0).locator(".counter").filter({hasText: "7/15"}).waitFor();
  await slot(page, 0, 5).click();
  await downloaded(page, () => button(page, 0, "Export Save to MCS").click());
  await pane(page, 0).locator("[data-choice=card-format]").selectOption("vmp");
  await downloaded(page, () => button(page, 0, "Save MC").click());
  await pane(page, 0).locator("[data-choice=icon-format]").selectOption("gif,64");
  await downloaded(page, () => button(page, 0, "Save Icon").click());
  await button(page, 0, "Check Card").click();
  await answer(page, "Close");
  await page.waitForTimeout(1200);  // two icon frames
  assert.deepEqual(requested, []);
  await close();
});

test("works offline once loaded, and can be installed as an app", async () => {
  const {page, context, close} = await fixture.open();
  const manifest = await page.evaluate(async () => {
    const link = document.querySelector("link[rel=manifest]");
    return (await fetch(link.href)).json();
  });
  assert.equal(manifest.name, "Quillcrest");
  assert.equal(manifest.display, "standalone");
  assert.ok(manifest.icons.some(icon => icon.sizes == "512x512"));
  assert.ok(await page.evaluate(() => navigator.serviceWorker.ready.then(r => !!r.active)));
  await context.setOffline(true);
  await page.reload();
  await page.waitForSelector("body[data-ready=true]", {timeout: 30000});
  assert.ok(await page.evaluate(() => !!navigator.serviceWorker.controller));
  await button(page, 0, "New MC").click();
  await pane(page, 0).locator(".counter").filter({hasText: "0/15"}).waitFor();
  await context.setOffline(false);
  await close();
});
