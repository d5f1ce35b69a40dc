// Cards and saves in the page, done as a person does them (the file chooser,
// drops, drags, clicks and keys), every download compared byte for byte
// with what the command line writes for the same input.
import assert from "node:assert/strict";
import {execFileSync} from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import {describe, test} from "node:test";

import {answer, button, chooseFile, cli, CORPUS, downloaded, dropFiles, OUTPUT, pageFixture, pane, slot}
  from "./harness.mjs";

const fixture = pageFixture();
const demo = () => fixture.file("demo.mcr");
const file = fixture.file;
const read = name => fs.readFileSync(file(name));


async function opened(card, {index = 0, filePicker = false} = {}) {
  const session = await fixture.open({filePicker});
  await chooseFile(session.page, () => button(session.page, index, "Open MC/GME").click(), card);
  return session;
}

const counter = (page, index = 0) => pane(page, index).locator(".counter");

describe("cards", () => {
  test("a card opens by the file chooser, its slots named as the window's information line names them", async () => {
    const {page, errors, close} = await opened(demo());
    await assert.doesNotReject(counter(page).filter({hasText: "7/15"}).waitFor());
    assert.equal(await slot(page, 0, 1).getAttribute("aria-label"), "Slot 1: 1 Block, America, SLUS-00001 : QUILL");
    // A further block stands for its save, as a click on it selects the save.
    assert.equal(await slot(page, 0, 3).getAttribute("aria-label"), "Slot 3: 2 Blocks, Europe, SLES-00002 : RIVER");
    assert.equal(await slot(page, 0, 8).getAttribute("aria-label"), "Slot 8: Empty Block");
    await slot(page, 0, 3).click();
    assert.equal(await pane(page, 0).locator(".title").textContent(), "Ｒｉｖｅｒ　Ｃｒｏｓｓｉｎｇ　２");
    assert.equal(await pane(page, 0).locator(".save-name").textContent(), "BESLES-00002RIVER");
    // Drawn without smoothing: each icon pixel a square of the slot.
    const rendering = await slot(page, 0, 1).locator("canvas").evaluate(c => getComputedStyle(c).imageRendering);
    assert.match(rendering, /pixelated|crisp-edges/);
    fs.mkdirSync(OUTPUT, {recursive: true});
    await page.screenshot({path: path.join(OUTPUT, "page.png"), fullPage: true});
    assert.deepEqual(errors, []);
    await close();
  });

  test("the card saves in every format as quillcrest-cli convert writes it; a VMP signed as it signs", async () => {
    const {page, close} = await opened(demo());
    const formats = {raw: ".mcr", gme: ".gme", vgs: ".mem", vmp: ".VMP"};
    for (const [format, extension] of Object.entries(formats)) {
      await pane(page, 0).locator("[data-choice=card-format]").selectOption(format);
      const saved = await downloaded(page, () => button(page, 0, "Save MC").click());
      assert.equal(saved.name, "demo" + extension);
      cli(["convert", demo(), file("cli" + extension), "--format", format]);
      assert.ok(saved.bytes.equals(read("cli" + extension)), format);
    }
    await close();
  });

  test("each save exports in every format as quillcrest-cli export writes it", async () => {
    const {page, close} = await opened(demo());
    await slot(page, 0, 6).click();  // a further block of TILES
    for (const format of ["mcs", "psx", "psv", "raw"]) {
      await pane(page, 0).locator("[data-choice=save-format]").selectOption(format);
      const saved = await downloaded(page, () => button(page, 0, "Export Save to MCS").click());
      cli(["export", demo(), "5", file("tiles." + format), "--format", format]);
      assert.ok(saved.bytes.equals(read("tiles." + format)), format);
    }
    await close();
  });

  test("imports, deletes, restores and undoes as the command line does", async () => {
    cli(["export", demo(), "2", file("river.mcs")]);
    cli(["export", demo(), "4", file("star.bin"), "--format", "raw"]);
    const {page, close} = await opened(demo());
    await slot(page, 0, 2).click();
    await button(page, 0, "Delete Save").click();
    await counter(page).filter({hasText: "5/15"}).waitFor();
    await chooseFile(page, () => button(page, 0, "Import Save from MCS/BIN").click(), file("river.mcs"));
    await counter(page).filter({hasText: "7/15"}).waitFor();
    // A raw save holds no name: the page asks for it.
    await chooseFile(page, () => button(page, 0, "Import Save from MCS/BIN").click(), file("star.bin"));
    const naming = page.locator("dialog#name-dialog[open]");
    await naming.locator("input").fill("BISLPS-00003STAR2");
    await naming.getByRole("button", {name: "Import"}).click();
    await counter(page).filter({hasText: "8/15"}).waitFor();
    const saved = await downloaded(page, () => button(page, 0, "Save MC").click());
    fs.copyFileSync(demo(), file("edited.mcr"));
    cli(["delete", file("edited.mcr"), "2"]);
    cli(["import", file("edited.mcr"), file("river.mcs")]);
    cli(["import", file("edited.mcr"), file("star.bin"), "--name", "BISLPS-00003STAR2"]);
    assert.ok(saved.bytes.equals(read("edited.mcr")));

    // Undone three times: the card as it was opened; redone once: the delete.
    for (let i = 0; i < 3; ++i) await button(page, 0, "Undo").click();
    await counter(page).filter({hasText: "7/15"}).waitFor();
    assert.ok((await downloaded(page, () => button(page, 0, "Save MC").click())).bytes.equals(fs.readFileSync(demo())));
    await button(page, 0, "Redo").click();
    await counter(page).filter({hasText: "5/15"}).waitFor();
    // The deleted save comes back.
    await slot(page, 0, 2).click();
    await button(page, 0, "Restore Deleted Save").click();
    await counter(page).filter({hasText: "7/15"}).waitFor();
    assert.ok((await downloaded(page, () => button(page, 0, "Save MC").click())).bytes.equals(fs.readFileSync(demo())));
    await close();
  });

  test("a new card, its check, and refusals in the core's own words", async () => {
    const {page, errors, close} = await fixture.open();
    await button(page, 0, "Save MC").click();
    assert.deepEqual(await answer(page), {caption: "Error", text: "No Memory Card Loaded or Read."});
    await button(page, 0, "New MC").click();
    await counter(page).filter({hasText: "0/15"}).waitFor();
    cli(["format", file("blank.mcr")]);
    assert.ok((await downloaded(page, () => button(page, 0, "Save MC").click())).bytes.equals(read("blank.mcr")));
    await button(page, 0, "Check Card").click();
    assert.deepEqual(await answer(page, "Close"), {caption: "Check Card", text: "The card is sound."});
    await button(page, 0, "Export Save to MCS").click();
    assert.deepEqual(await answer(page), {caption: "Error", text: "No save selected."});
    // A file that is no card: told, and the page goes on.
    fs.writeFileSync(file("junk.mcr"), Buffer.alloc(5000, 0x41));
    await button(page, 0, "Open MC/GME").click();
    const [chooser] = await Promise.all([page.waitForEvent("filechooser"), answer(page, "Yes")]);  // the loss question
    await chooser.setFiles(file("junk.mcr"));
    assert.deepEqual(await answer(page), {caption: "File Error", text: "Wrong file size !"});
    await counter(page).filter({hasText: "0/15"}).waitFor();
    assert.deepEqual(errors, []);
    await close();
  });

  test("two cards side by side: a save dragged from one into the other, as quillcrest-cli copy places it", async () => {
    const {page, close} = await opened(demo());
    await button(page, 1, "New MC").click();
    await counter(page, 1).filter({hasText: "0/15"}).waitFor();
    await slot(page, 0, 5).dragTo(pane(page, 1).locator(".slots"));
    await counter(page, 1).filter({hasText: "3/15"}).waitFor();
    const saved = await downloaded(page, () => button(page, 1, "Save MC").click());
    cli(["format", file("target.mcr")]);
    cli(["copy", demo(), "5", file("target.mcr")]);
    assert.ok(saved.bytes.equals(read("target.mcr")));
    await close();
  });

  test("files dropped anywhere: a card opens, saves go into it, a refused save leaves no card", async () => {
    cli(["export", demo(), "1", file("quill.psx"), "--format", "psx"]);
    fs.writeFileSync(file("junk.mcs"), Buffer.alloc(20000, 0x5a));
    const {page, close} = await fixture.open();
    await dropFiles(page, pane(page, 1), [file("junk.mcs")]);
    assert.equal((await answer(page)).text, "Wrong File Format !\n(no SC header)");
    await counter(page, 1).filter({hasText: "0/15"}).waitFor();
    await button(page, 1, "Save MC").click();
    assert.equal((await answer(page)).text, "No Memory Card Loaded or Read.");
    // A save onto no card starts a new one; a card dropped with it comes first.
    await dropFiles(page, pane(page, 1), [file("quill.psx")]);
    await counter(page, 1).filter({hasText: "1/15"}).waitFor();
    await dropFiles(page, page.locator("header"), [file("quill.psx"), demo()]);
    await counter(page, 0).filter({hasText: "8/15"}).waitFor();
    await close();
  });

  test("a save's icon as an animated GIF, as quillcrest-cli icon writes it, and as a PNG of the same pixels", async () => {
    const {page, close} = await opened(demo());
    await slot(page, 0, 1).click();
    await pane(page, 0).locator("[data-choice=icon-format]").selectOption("gif,64");
    const gif = await downloaded(page, () => button(page, 0, "Save Icon").click());
    cli(["icon", demo(), "1", file("quill.gif"), "--size", "64"]);
    assert.ok(gif.bytes.equals(read("quill.gif")));
    await pane(page, 0).locator("[data-choice=icon-format]").selectOption("png,64");
    const png = await downloaded(page, () => button(page, 0, "Save Icon").click());
    fs.writeFileSync(file("page.png"), png.bytes);
    cli(["icon", demo(), "1", file("cli.png"), "--size", "64"]);
    // The browser's PNG encoder compresses otherwise than libpng: the pixels are compared.
    const rgba = name => execFileSync("convert", [file(name), "-depth", "8", "rgba:-"]);
    assert.ok(rgba("page.png").equals(rgba("cli.png")));
    await close();
  });

  test("a VMP with a wrong signature is told, and saved as a VMP is signed as quillcrest-cli signs it", async () => {
    cli(["convert", demo(), file("demo.vmp"), "--format", "vmp"]);
    const bytes = read("demo.vmp");
    bytes.fill(0, 0x20, 0x34);  // its signature
    fs.writeFileSync(file("unsigned.vmp"), bytes);
    const {page, close} = await fixture.open();
    await chooseFile(page, () => button(page, 0, "Open MC/GME").click(), file("unsigned.vmp"));
    assert.equal((await answer(page)).text, "The signature of this VMP card is wrong: a PSP or PS Vita would show it " +
                                            "as an empty card.\nIt is opened as it is; saving it as a VMP signs it again.");
    await pane(page, 0).locator("[data-choice=card-format]").selectOption("vmp");
    assert.ok((await downloaded(page, () => button(page, 0, "Save MC").click())).bytes.equals(read("demo.vmp")));
    await close();
  });

  test("a card opened through the browser's file picker is saved back into its file", async () => {
    fs.copyFileSync(demo(), file("back.mcr"));
    const original = [...read("back.mcr")];
    const {page, close} = await fixture.open({filePicker: true});
    // The picker: a file handle whose writes the test keeps.
    await page.evaluate(bytes => {
      window.written = null;
      window.showOpenFilePicker = async () => [{
        getFile: async () => new File([new Uint8Array(bytes)], "back.mcr"),
        createWritable: async () => ({write: async data => (window.written = [...new Uint8Array(data)]), close: async () => {}}),
      }];
    }, original);
    await button(page, 0, "Open MC/GME").click();
    await counter(page).filter({hasText: "7/15"}).waitFor();
    await slot(page, 0, 1).click();
    await button(page, 0, "Delete Save").click();
    await button(page, 0, "Save Back to File").click();
    await page.waitForFunction(() => window.written);
    cli(["delete", file("back.mcr"), "1"]);
    assert.deepEqual(Buffer.from(await page.evaluate(() => window.written)), read("back.mcr"));
    await close();
  });

  test("everything from the keyboard; every control named", async () => {
    const {page, close} = await opened(demo());
    for (const name of ["Open MC/GME", "Save MC", "New MC", "Import Save from MCS/BIN", "Export Save to MCS",
                        "Delete Save", "Read from PS3MCA", "Write to PS3MCA"])
      for (const index of [0, 1]) assert.equal(await button(page, index, name).count(), 1, name);
    await slot(page, 0, 1).focus();
    await page.keyboard.press("ArrowRight");
    await page.keyboard.press("ArrowRight");
    await page.keyboard.press("ArrowRight");
    assert.equal(await page.evaluate(() => document.activeElement.getAttribute("aria-label")),
                 "Slot 4: 1 Block, Japan, SLPS-00003 : STAR");
    await page.keyboard.press("Enter");
    assert.equal(await pane(page, 0).locator(".info").textContent(), "1 Block, Japan, SLPS-00003 : STAR");
    await page.keyboard.press("Delete");
    await page.locator("dialog#message[open]").waitFor();
    assert.equal(await page.locator("dialog#message .text").textContent(), "Do you want to delete the selected save ?");
    await page.keyboard.press("Enter");  // Yes has the focus
    await counter(page).filter({hasText: "6/15"}).waitFor();
    await page.keyboard.press("Control+z");
    await counter(page).filter({hasText: "7/15"}).waitFor();
    await page.keyboard.press("Control+y");
    await counter(page).filter({hasText: "6/15"}).waitFor();
    await close();
  });
});

describe("the corpus of other programs' cards", {skip: !fs.existsSync(path.join(CORPUS, "MANIFEST.md"))}, () => {
  test("a DuckStation card's deleted save is restored, its cleared links rebuilt, as quillcrest-cli undelete does", async () => {
    const card = path.join(CORPUS, "duckstation-user/shared_card_1.mcd");
    const {page, close} = await opened(card);
    await slot(page, 0, 1).click();
    assert.match(await pane(page, 0).locator(".info").textContent(), /^Deleted save: /);
    await button(page, 0, "Restore Deleted Save").click();
    await page.waitForFunction(() => !document.querySelector(".pane .slot").getAttribute("aria-label").endsWith("Empty Block"));
    fs.copyFileSync(card, file("shared.mcd"));
    cli(["undelete", file("shared.mcd"), "1"]);
    assert.ok((await downloaded(page, () => button(page, 0, "Save MC").click())).bytes.equals(read("shared.mcd")));
    await close();
  });

  test("a PSP's own VMP opens with its signature found good, and a PS3's PSV imports", async () => {
    const vmp = path.join(CORPUS, "save-file-converter/Suikoden 2-psp-signature.VMP");
    const {page, errors, close} = await opened(vmp);
    await counter(page).filter({hasText: "14/15"}).waitFor();
    assert.equal(await page.locator("dialog#message[open]").count(), 0);  // nothing to tell
    await button(page, 1, "New MC").click();
    const psv = path.join(CORPUS, "save-file-converter/BASLUS-011054441544131.PSV");
    await chooseFile(page, () => button(page, 1, "Import Save from MCS/BIN").click(), psv);
    await counter(page, 1).filter({hasText: "5/15"}).waitFor();
    assert.deepEqual(errors, []);
    await close();
  });
});
