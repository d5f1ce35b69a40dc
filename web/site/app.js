// The page: two cards side by side, each with the window's buttons and
// fifteen slots, over the core (core.js). Every refusal shown is the core's
// own message; a question is the window's own.
import {Core} from "./core.js";
import * as text from "./constants.js";
import {chooseCardFile, chooseFile, download, readFile, withExtension, writeBack} from "./files.js";
import {kNoReaderApis, readerOf, Readers, serialAvailable, usbAvailable} from "./readers.js";

const kPanes = 2;
const kSlots = 15;
const kCardExtensions = {raw: ".mcr", gme: ".gme", vgs: ".mem", vmp: ".VMP"};
const shiftJis = new TextDecoder("shift_jis");

let core;
let readers;
const panes = [];
let tick = 0;

// Message boxes as <dialog>s: resolves to the button chosen.
function dialog(message, caption, buttons) {
  const box = document.getElementById("message");
  box.querySelector(".caption").textContent = caption;
  box.querySelector(".text").textContent = message;
  const row = box.querySelector(".buttons");
  row.replaceChildren(...buttons.map(label => {
    const button = document.createElement("button");
    button.value = label;
    button.textContent = label;
    return button;
  }));
  return new Promise(resolve => {
    box.addEventListener("close", () => resolve(box.returnValue), {once: true});
    box.showModal();
    row.firstChild.focus();
  });
}
const show = (message, caption = "Error") => dialog(message, caption, ["OK"]);
const warn = message => dialog(message, "Warning", ["OK"]);
const ask = async (message, caption = "Warning") => (await dialog(message, caption, ["Yes", "No"])) == "Yes";

// Shows the core's refusal; true when the call did its work.
async function succeeded(answer) {
  if (!answer.ok) await show(answer.failure, answer.caption);
  else if (answer.notice) await warn(answer.notice);
  return answer.ok;
}

function bytesOfHex(hex) {
  const bytes = new Uint8Array((hex || "").length / 2);
  for (let i = 0; i < bytes.length; ++i) bytes[i] = parseInt(hex.substr(2 * i, 2), 16);
  return bytes;
}
const titleOf = hex => shiftJis.decode(bytesOfHex(hex));

class Pane {
  constructor(index, root) {
    this.index = index;
    this.root = root;
    this.view = {loaded: false, slots: []};
    this.selected = -1;
    this.handle = null;  // the file it came from, where the browser lets the page write it
    this.icons = [];     // per slot, the RGB frames
    root.querySelector(".pane-title").textContent = `Card ${index + 1}`;
    root.setAttribute("aria-label", `Card ${index + 1}`);
    this.slots = [];
    const grid = root.querySelector(".slots");
    for (let slot = 0; slot < kSlots; ++slot) {
      const cell = document.createElement("div");
      cell.className = "slot";
      cell.tabIndex = slot == 0 ? 0 : -1;
      cell.setAttribute("role", "button");
      cell.dataset.slot = slot;
      cell.append(Object.assign(document.createElement("canvas"), {width: 16, height: 16}));
      cell.addEventListener("click", () => this.select(slot));
      cell.addEventListener("keydown", event => this.slotKey(event, slot));
      cell.addEventListener("dragstart", event => {
        event.dataTransfer.setData("application/x-quillcrest-save", JSON.stringify({pane: this.index, slot}));
        event.dataTransfer.effectAllowed = "copy";
      });
      grid.append(cell);
      this.slots.push(cell);
    }
    root.querySelectorAll("[data-command]").forEach(button =>
      button.addEventListener("click", () => run(() => this.command(button.dataset.command))));
    root.querySelector("[data-choice=allow-corrupted]").addEventListener("change", event =>
      run(async () => {
        await succeeded(await core.call("qc_set_allow_corrupted", [this.index, event.target.checked ? 1 : 0]));
        await this.refresh();
      }));
  }

  choice(name) {
    return this.root.querySelector(`[data-choice=${name}]`).value;
  }

  async refresh() {
    this.view = await core.view(this.index);
    this.icons = [];
    for (let slot = 0; slot < kSlots; ++slot) {
      const frames = [];
      const count = this.view.loaded ? Math.max(this.view.slots[slot].frames, 1) : 0;
      for (let frame = 0; frame < count; ++frame) frames.push(await core.icon(this.index, slot, frame));
      this.icons.push(frames);
    }
    if (this.selected >= 0 && (!this.view.loaded || this.view.slots[this.selected].status == 0)) this.selected = -1;
    this.draw();
  }

  draw() {
    const view = this.view;
    this.root.querySelector(".counter").textContent = `${view.loaded ? view.used : 0}/15`;
    for (let slot = 0; slot < kSlots; ++slot) {
      const cell = this.slots[slot];
      const state = view.loaded ? view.slots[slot] : null;
      cell.setAttribute("aria-label", `Slot ${slot + 1}: ${state ? state.info : "no card"}`);
      const inSelection = state && this.selected >= 0 && state.save == this.selected && state.status != 0;
      cell.classList.toggle("selected", !!inSelection);
      cell.classList.toggle("corrupted", !!state && state.status == -1);
      cell.setAttribute("aria-pressed", inSelection ? "true" : "false");
      cell.draggable = !!state && state.status != 0 && state.save >= 0;
      this.paint(cell.firstChild, slot, 0);
    }
    const state = this.selected >= 0 && view.loaded ? view.slots[this.selected] : null;
    this.root.querySelector(".save-name").textContent = state && state.status > 0 ? state.name : "";
    this.root.querySelector(".title").textContent = state && state.status > 0 ? titleOf(state.title) : "";
    let info = state ? state.info : "Info:";
    if (state && state.status == 0 && state.deleted_title) info = "Deleted save: " + titleOf(state.deleted_title);
    this.root.querySelector(".info").textContent = info;
    this.root.querySelector(".comment").textContent = state && state.comment ? `Comment: ${state.comment}` : "";
    this.paint(this.root.querySelector(".large-icon"), this.selected, 0, !state || state.status == 0);
    this.root.querySelector("[data-command=undo]").disabled = !view.can_undo;
    this.root.querySelector("[data-command=redo]").disabled = !view.can_redo;
    this.root.querySelector("[data-command=save-back]").hidden = !this.handle;
    this.root.querySelector("[data-choice=allow-corrupted]").checked = !!view.allow_corrupted;
  }

  // One icon frame into a 16 x 16 canvas, which the page shows scaled up
  // without smoothing.
  paint(canvas, slot, frame, blank = false) {
    const context = canvas.getContext("2d");
    const frames = slot >= 0 && !blank ? this.icons[slot] : null;
    if (!frames || !frames.length) {
      context.fillStyle = "#000";
      context.fillRect(0, 0, 16, 16);
      return;
    }
    const rgb = frames[frame % frames.length];
    const image = context.createImageData(16, 16);
    for (let i = 0; i < 256; ++i) image.data.set([rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2], 255], 4 * i);
    context.putImageData(image, 0, 0);
  }

  animate() {
    for (let slot = 0; slot < kSlots; ++slot)
      if (this.icons[slot] && this.icons[slot].length > 1) this.paint(this.slots[slot].firstChild, slot, tick);
  }

  select(slot) {
    if (!this.view.loaded) return;
    const state = this.view.slots[slot];
    this.selected = state.save >= 0 ? state.save : slot;
    this.slots.forEach((cell, i) => (cell.tabIndex = i == slot ? 0 : -1));
    this.draw();
  }

  slotKey(event, slot) {
    const moves = {ArrowLeft: -1, ArrowRight: 1, ArrowUp: -8, ArrowDown: 8, Home: -slot, End: kSlots - 1 - slot};
    if (event.key in moves) {
      const next = Math.min(kSlots - 1, Math.max(0, slot + moves[event.key]));
      this.slots.forEach((cell, i) => (cell.tabIndex = i == next ? 0 : -1));
      this.slots[next].focus();
      event.preventDefault();
    } else if (event.key == "Enter" || event.key == " ") {
      this.select(slot);
      event.preventDefault();
    } else if (event.key == "Delete") {
      this.select(slot);
      run(async () => {
        if (this.view.slots[this.selected].status != 0 && !(await ask(text.kDeleteQuestion))) return;
        await this.command("delete");
      });
      event.preventDefault();
    }
  }

  async requireCard() {
    if (this.view.loaded) return true;
    await show(text.kNoCard);
    return false;
  }
  async requireSelection() {
    if (!(await this.requireCard())) return false;
    if (this.selected >= 0) return true;
    await show(text.kNoSelection);
    return false;
  }
  async confirmLoss() {
    return !this.view.loaded || ask(text.kLoss);
  }

  async command(name) {
    switch (name) {
      case "new":
        if (!(await this.confirmLoss())) return;
        this.handle = null;
        await succeeded(await core.call("qc_new_card", [this.index]));
        break;
      case "open": {
        if (!(await this.confirmLoss())) return;
        const chosen = await chooseCardFile(document.getElementById("file-input"));
        if (!chosen) return;
        await this.openCard(await readFile(chosen.file), chosen.handle);
        break;
      }
      case "save": {
        if (!(await this.requireCard())) return;
        const format = this.choice("card-format");
        const answer = await core.call("qc_encode_card", [this.index, format], {async: true});
        if (!(await succeeded(answer))) return;
        download(answer.output, withExtension(this.view.file, kCardExtensions[format]));
        break;
      }
      case "save-back": {
        const answer = await core.call("qc_encode_card", [this.index, this.view.format], {async: true});
        if (!(await succeeded(answer))) return;
        if (!(await writeBack(this.handle, answer.output)))
          await show(`The browser did not let the page write ${this.view.file} back.`, "File Error");
        break;
      }
      case "import": {
        if (!(await this.requireCard())) return;
        const file = await chooseFile(document.getElementById("file-input"));
        if (file) await this.importSave(await readFile(file));
        break;
      }
      case "export": {
        if (!(await this.requireSelection())) return;
        const answer = await core.call("qc_export_save", [this.index, this.selected, this.choice("save-format")],
                                       {async: true});
        if (await succeeded(answer)) download(answer.output, answer.result.name);
        return;
      }
      case "delete":
        if (!(await this.requireSelection())) return;
        await succeeded(await core.call("qc_delete_save", [this.index, this.selected]));
        break;
      case "restore":
        if (!(await this.requireSelection())) return;
        await succeeded(await core.call("qc_restore_save", [this.index, this.selected]));
        break;
      case "undo":
      case "redo": {
        const answer = await core.call(name == "undo" ? "qc_undo" : "qc_redo", [this.index]);
        if (!answer.ok) await show(answer.failure, answer.caption);
        break;
      }
      case "check": {
        if (!(await this.requireCard())) return;
        const answer = await core.call("qc_check", [this.index]);
        if (!(await succeeded(answer))) return;
        await dialog(answer.result.report, "Check Card", ["Close"]);
        return;
      }
      case "icon": {
        if (!(await this.requireSelection())) return;
        const [format, side] = this.choice("icon-format").split(",");
        const answer = await core.call("qc_icon_picture", [this.index, this.selected, Number(side), format],
                                       {async: true});
        if (await succeeded(answer))
          download(answer.output, `${this.view.slots[this.selected].name || "icon"}.${format}`);
        return;
      }
      case "read":
        await this.read();
        break;
      case "write":
        await this.write();
        break;
    }
    await this.refresh();
  }

  async openCard(file, handle = null) {
    const started = performance.now();
    const answer = await core.call("qc_open_card", [this.index, file.name, file.bytes], {async: true});
    this.selected = -1;
    this.handle = answer.ok ? handle : null;
    await this.refresh();
    // Opened and shown: what the benchmark times.
    performance.measure("open-card", {start: started, end: performance.now()});
    await succeeded(answer);
  }

  // An import as the window makes it: the question of a file cut short,
  // the name of a raw save; into a new card when none is loaded, which goes
  // again when nothing was imported.
  async importSave(file) {
    const probe = await core.call("qc_probe_save", [file.name, file.bytes], {async: true});
    if (!probe.ok) return show(probe.failure, probe.caption);
    if (probe.result.ragged && !(await ask(text.kRagged))) return false;
    let name = "";
    if (probe.result.needs_name) {
      name = await askName(probe.result.suggested_name);
      if (!name) return false;
    }
    const made = !this.view.loaded;
    if (made) await core.call("qc_new_card", [this.index]);
    const answer = await core.call("qc_import_save", [this.index, file.name, file.bytes, 1, name], {async: true});
    await succeeded(answer);
    if (!answer.ok && made) await core.call("qc_forget_card", [this.index]);
    await this.refresh();
    return answer.ok;
  }

  async useReader() {
    const reader = readerOf(document.getElementById("reader-kind").value);
    if (!(await readers.ready(reader)) && !(await readers.choose(reader))) return null;
    showChosenDevice();
    await core.call("qc_use_reader", [reader.kind, reader.slot, 0]);
    return reader;
  }

  progress(step, done, total) {
    const bar = this.root.querySelector("progress");
    bar.max = total;
    bar.value = done;
    bar.setAttribute("aria-valuetext", `${step} ${done} of ${total}`);
  }

  async read() {
    if (!(await this.confirmLoss())) return;
    if (!(await this.useReader())) return;
    const fast = document.querySelector("input[name=read-mode]:checked").value == "fast";
    core.module.onProgress = (step, done, total) => this.progress(step, done, total);
    const started = performance.now();
    const answer = await busy(() => core.call("qc_read_card", [this.index, fast ? 1 : 0], {async: true}));
    performance.measure("read-card", {start: started, end: performance.now()});
    this.selected = -1;
    this.handle = null;
    await succeeded(answer);
  }

  async write() {
    if (!(await this.requireCard())) return;
    if (this.view.partial) return show(text.kPartial);
    if (!(await this.useReader())) return;
    const all = this.view.snapshot ? !(await ask(text.kDifferences)) : false;
    core.module.onProgress = (step, done, total) => this.progress(step, done, total);
    const answer = await busy(() => core.call("qc_write_card", [this.index, all ? 1 : 0], {async: true}));
    if (!(await succeeded(answer))) return;
    const report = answer.result;
    if (report.written == 0) return show(text.kNoChange, "Warning");
    const backup = report.backup ? ` What the card held is kept as the backup ${report.backup.split("/").pop()}.` : "";
    const frames = report.written == 1 ? "1 frame" : `${report.written} frames`;
    if ((await dialog(`Wrote ${frames}, verified ${report.verified}.${backup}`, "Write to PS3MCA",
                      report.backup ? ["OK", "Download Backup"] : ["OK"])) == "Download Backup")
      await downloadBackup(report.backup);
  }
}

// The page does one thing at a time, as the window does while it is disabled.
let running = false;
async function run(work) {
  if (running) return;
  running = true;
  try {
    await work();
  } finally {
    running = false;
  }
}

async function busy(job) {
  document.body.setAttribute("aria-busy", "true");
  document.querySelectorAll("button, select, input").forEach(control => (control.dataset.busy = control.disabled ? "was" : "now", control.disabled = true));
  try {
    return await job();
  } finally {
    document.querySelectorAll("[data-busy]").forEach(control => {
      if (control.dataset.busy == "now") control.disabled = false;
      delete control.dataset.busy;
    });
    document.body.removeAttribute("aria-busy");
  }
}

function askName(suggested) {
  const box = document.getElementById("name-dialog");
  const field = box.querySelector("input[name=save-name]");
  field.value = suggested || "";
  return new Promise(resolve => {
    box.addEventListener("close", () => resolve(box.returnValue == "import" ? field.value : null), {once: true});
    box.showModal();
    field.focus();
  });
}

async function downloadBackup(path) {
  const answer = await core.call("qc_file_bytes", [path]);
  if (await succeeded(answer)) download(answer.output, path.split("/").pop());
}

async function showBackups() {
  const answer = await core.call("qc_backups", []);
  if (!(await succeeded(answer))) return;
  const box = document.getElementById("backups-dialog");
  box.querySelector(".folder").textContent = answer.result.backups.length
    ? "Kept in this browser's storage, newest first:" : "No backup yet: one is kept before every write to a card.";
  const list = box.querySelector(".backup-list");
  list.replaceChildren(...answer.result.backups.map(backup => {
    const item = document.createElement("li");
    const open = Object.assign(document.createElement("button"), {type: "button", textContent: "Open"});
    open.setAttribute("aria-label", `Open the backup of ${backup.taken}`);
    open.addEventListener("click", () => run(async () => {
      box.close();
      const bytes = await core.call("qc_file_bytes", [backup.path]);
      if (!(await succeeded(bytes))) return;
      const pane = panes[0];
      if (await pane.confirmLoss()) await pane.openCard({name: backup.path.split("/").pop(), bytes: bytes.output});
    }));
    const save = Object.assign(document.createElement("button"), {type: "button", textContent: "Download"});
    save.setAttribute("aria-label", `Download the backup of ${backup.taken}`);
    save.addEventListener("click", () => run(() => downloadBackup(backup.path)));
    item.append(`${backup.taken}  ${backup.used}`, open, save);
    return item;
  }));
  box.showModal();
}

function showChosenDevice() {
  const reader = readerOf(document.getElementById("reader-kind").value);
  document.getElementById("device-chosen").textContent = readers.describe(reader);
}

// Files dropped anywhere on the page: cards open, saves are imported, into
// the card under the drop (the first when none is).
async function takeDrop(event) {
  const under = event.target.closest && event.target.closest(".pane");
  const pane = panes[under ? Number(under.dataset.pane) : 0];
  const moved = event.dataTransfer.getData("application/x-quillcrest-save");
  if (moved) {
    const {pane: from, slot} = JSON.parse(moved);
    if (from == pane.index) return;
    await succeeded(await core.call("qc_copy_save", [from, slot, pane.index]));
    return pane.refresh();
  }
  const files = [...event.dataTransfer.files];
  const read = await Promise.all(files.map(readFile));
  const isCard = async file => (await core.call("qc_is_card_file", [file.bytes])).ok;
  const cards = [], saves = [];
  for (const file of read) ((await isCard(file)) ? cards : saves).push(file);
  for (const file of cards) if (await pane.confirmLoss()) await pane.openCard(file);
  for (const file of saves) await pane.importSave(file);
}

function keys(event) {
  const pane = panes.find(p => p.root.contains(document.activeElement)) || panes[0];
  if (!(event.ctrlKey || event.metaKey) || document.querySelector("dialog[open]")) return;
  const commands = {z: "undo", y: "redo", n: "new", o: "open", s: "save", i: "import", e: "export"};
  const command = commands[event.key.toLowerCase()];
  if (!command) return;
  event.preventDefault();
  run(() => pane.command(command));
}

async function start() {
  const support = document.getElementById("reader-support");
  core = await Core.load();
  readers = new Readers(core.module);
  const template = document.getElementById("pane-template");
  const main = document.getElementById("panes");
  for (let index = 0; index < kPanes; ++index) {
    const root = template.content.firstElementChild.cloneNode(true);
    root.dataset.pane = index;
    main.append(root);
    panes.push(new Pane(index, root));
  }
  if (!usbAvailable() && !serialAvailable()) {
    support.textContent = kNoReaderApis;
    document.querySelectorAll("[data-command=read], [data-command=write], #choose-device").forEach(b => (b.disabled = true));
  }
  document.getElementById("choose-device").addEventListener("click", async () => {
    if (await readers.choose(readerOf(document.getElementById("reader-kind").value))) showChosenDevice();
  });
  document.getElementById("reader-kind").addEventListener("change", showChosenDevice);
  document.getElementById("backups").addEventListener("click", () => run(showBackups));
  document.addEventListener("dragover", event => {
    event.preventDefault();
    event.dataTransfer.dropEffect = "copy";
  });
  document.addEventListener("drop", event => {
    event.preventDefault();
    run(() => takeDrop(event));
  });
  document.addEventListener("keydown", keys);
  setInterval(() => {
    ++tick;
    panes.forEach(pane => pane.animate());
  }, text.kFrameMs);
  for (const pane of panes) await pane.refresh();
  performance.mark("usable");  // what the benchmark times from the navigation
  if ("serviceWorker" in navigator && location.protocol != "file:") {
    try {
      await navigator.serviceWorker.register("sw.js");
      await navigator.serviceWorker.ready;
    } catch (e) {
      // served without it: the page works, only not offline
    }
  }
  document.body.dataset.ready = "true";
}

start();
