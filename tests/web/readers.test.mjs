// The card readers in the page: the serial readers through Web Serial, the
// PS3 adaptor through WebUSB, run by the page's real code. The browser's
// device objects are stand-ins (fake_devices.js) that carry the bytes to the
// project's emulated readers, on pseudo-terminals, and to its emulated
// adaptor, which answer as the real ones do, faults included. What stays
// untested is the browser's own device code: its pickers, its serial and
// USB drivers and their permissions.
import assert from "node:assert/strict";
import fs from "node:fs";
import {before, describe, test} from "node:test";

import {answer, button, cli, downloaded, pageFixture, pane, serialReader, slot, usbAdaptor} from "./harness.mjs";

const fixture = pageFixture();
const file = fixture.file;

before(() => {
  cli(["format", file("blank.mcr")]);
});

const kReaders = [
  {name: "the PS3 adaptor", value: "0,1", usb: true},
  {name: "a MemCARDuino", value: "1,1", kind: "memcarduino"},
  {name: "a DexDrive", value: "2,1", kind: "dexdrive"},
  {name: "PS1CardLink's slot 2", value: "3,2", kind: "ps1cardlink", slot: 2},
];

// The page with the reader plugged in holding `card`; `state` follows the real card.
async function plugIn(reader, card, faults = "") {
  const session = await fixture.open();
  const state = file(`real-${Date.now()}.mcr`);
  fs.copyFileSync(card, state);
  let device;
  if (reader.usb) {
    device = await usbAdaptor(session.page, card, {faults, state});
  } else {
    // PS1CardLink's other slot holds the blank card, which no job may touch.
    device = await serialReader(session.page, reader.kind, reader.slot == 2 ? file("blank.mcr") : card,
                                {faults, state, card2: reader.slot == 2 ? card : undefined});
  }
  await session.page.locator("#reader-kind").selectOption(reader.value);
  const real = () => fs.readFileSync(reader.slot == 2 ? state + ".slot2" : state);
  return {...session, device, state, real, stop: async () => {
    device.stop();
    await session.close();
  }};
}

const counter = (page, index = 0) => pane(page, index).locator(".counter");

for (const reader of kReaders) {
  describe(reader.name, () => {
    test("reads the card whole and fast, and writes what differs, backed up first, read back", async () => {
      const plugged = await plugIn(reader, file("demo.mcr"));
      const {page} = plugged;
      await button(page, 0, "Read from PS3MCA").click();
      await counter(page).filter({hasText: "7/15"}).waitFor({timeout: 60000});
      assert.ok((await downloaded(page, () => button(page, 0, "Save MC").click())).bytes.equals(fs.readFileSync(file("demo.mcr"))));
      // Fast: the directory and the icons, nothing to write out.
      await page.getByLabel("Fast Read (Dir + Icon)").check();
      await button(page, 1, "Read from PS3MCA").click();
      await counter(page, 1).filter({hasText: "7/15"}).waitFor({timeout: 60000});
      await button(page, 1, "Write to PS3MCA").click();
      assert.equal((await answer(page)).text,
                   "Only partial data was read from Memory Card !\n\nPlease desactivate the Fast Read option.");

      await slot(page, 0, 1).click();
      await button(page, 0, "Delete Save").click();
      await counter(page).filter({hasText: "6/15"}).waitFor();
      await button(page, 0, "Write to PS3MCA").click();
      await answer(page, "Yes");  // only the differences
      const [backup, report] = await Promise.all([page.waitForEvent("download"), answer(page, "Download Backup")]);
      assert.match(report.text, /^Wrote 1 frame, verified 1\. What the card held is kept as the backup /);
      assert.ok(fs.readFileSync(await backup.path()).equals(fs.readFileSync(file("demo.mcr"))));
      fs.copyFileSync(file("demo.mcr"), file("expected.mcr"));
      cli(["delete", file("expected.mcr"), "1"]);
      assert.ok(plugged.real().equals(fs.readFileSync(file("expected.mcr"))));
      if (reader.slot == 2) assert.ok(fs.readFileSync(plugged.state).equals(fs.readFileSync(file("blank.mcr"))));

      // The backups are kept in the browser, listed, and open as a card.
      await page.getByRole("button", {name: "Backups..."}).click();
      const list = page.locator("dialog#backups-dialog[open] li");
      assert.equal(await list.count(), 1);
      assert.match(await list.first().textContent(), /7\/15/);
      await list.first().getByRole("button", {name: /^Open/}).click();
      await answer(page, "Yes");  // the card loaded goes
      await counter(page).filter({hasText: "7/15"}).waitFor();
      // The backup written back: the save deleted comes back.
      await button(page, 0, "Write to PS3MCA").click();
      await counter(page).filter({hasText: "7/15"}).waitFor();
      const whole = await answer(page);
      assert.match(whole.text, /^Wrote 1 frame, verified 1\./);
      assert.ok(plugged.real().equals(fs.readFileSync(file("demo.mcr"))));
      await plugged.stop();
    });

    test("pulled out during a read, the page keeps its card; during a write, the real card its directory", async () => {
      // Gone after 300 of the read's frames.
      const gone = reader.usb ? "gone@600" : "gone@300";
      let plugged = await plugIn(reader, file("demo.mcr"), gone);
      let {page} = plugged;
      await button(page, 0, "New MC").click();
      await counter(page).filter({hasText: "0/15"}).waitFor();
      await button(page, 0, "Read from PS3MCA").click();
      await answer(page, "Yes");
      const failed = await answer(page);
      assert.ok(["Read Error.", "No PS1 Memory Card Detected."].includes(failed.text), failed.text);
      await counter(page).filter({hasText: "0/15"}).waitFor();
      assert.equal(await page.evaluate(() => document.body.getAttribute("aria-busy")), null);
      await plugged.stop();

      // Written from a file: the card is read first (1024 frames), then
      // the blocks go before the directory; pulled out before the directory.
      cli(["format", file("wiped.mcr")]);
      plugged = await plugIn(reader, file("demo.mcr"), reader.usb ? "gone@1040" : "gone@1030");
      page = plugged.page;
      await button(page, 0, "New MC").click();
      await counter(page).filter({hasText: "0/15"}).waitFor();
      const bytes = fs.readFileSync(file("demo.mcr"));
      await button(page, 0, "Write to PS3MCA").click();
      assert.ok(["Write Error", "No PS1 Memory Card Detected.", "Read Error."].includes((await answer(page)).text));
      const real = plugged.real();
      assert.ok(real.subarray(0, 8192).equals(bytes.subarray(0, 8192)), "the directory is the old one");
      await plugged.stop();
    });
  });
}

describe("browsers without Web Serial and WebUSB", () => {
  test("get the file features and a line saying which browsers reach readers", async () => {
    const {page, close} = await fixture.open({devices: false});
    assert.match(await page.locator("#reader-support").textContent(), /Chrome, Edge and Opera/);
    assert.ok(await button(page, 0, "Read from PS3MCA").isDisabled());
    assert.ok(await button(page, 0, "New MC").isEnabled());
    await close();
  });
});
