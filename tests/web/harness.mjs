// What the web page's tests share: the page served as scripts/web.sh serves
// it, headless Chromium (Debian's) driven by playwright-core, the command
// line the downloads are compared with, and the bridges that carry the
// bytes of the page's Web Serial and WebUSB calls to the project's emulated
// readers (on a pseudo-terminal) and adaptor.
import {execFileSync, spawn} from "node:child_process";
import crypto from "node:crypto";
import fs from "node:fs";
import http from "node:http";
import net from "node:net";
import os from "node:os";
import path from "node:path";
import {after, before} from "node:test";
import tty from "node:tty";
import {fileURLToPath} from "node:url";

import {chromium} from "playwright-core";

export const ROOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), "../..");
export const BUILD = process.env.QUILLCREST_BUILD || path.join(ROOT, "build");
export const CLI = path.join(BUILD, "native/bin/quillcrest-cli");
const kSerialEmulator = path.join(BUILD, "native/bin/quillcrest-serial-emulator");
const kUsbEmulator = path.join(BUILD, "native/bin/quillcrest-usb-emulator");
export const OUTPUT = path.join(BUILD, "web/test-output");
export const CORPUS = process.env.QUILLCREST_THIRD_PARTY || path.join(ROOT, "../shared/third_party");

export function tempFolder() {
  return fs.mkdtempSync(path.join(os.tmpdir(), "quillcrest-web-"));
}

// quillcrest-cli, as a script runs it; throws on a failure unless allowed.
export function cli(args, {allowFailure = false, env = {}} = {}) {
  try {
    return execFileSync(CLI, args, {env: {...process.env, ...env}, encoding: "utf8", stdio: ["ignore", "pipe", "pipe"]});
  } catch (e) {
    if (allowFailure) return e.stdout + e.stderr;
    throw new Error(`quillcrest-cli ${args.join(" ")}: ${e.stderr}`);
  }
}

async function freePort() {
  return new Promise(resolve => {
    const server = net.createServer();
    server.listen(0, "127.0.0.1", () => {
      const {port} = server.address();
      server.close(() => resolve(port));
    });
  });
}

// The page as scripts/web.sh serves it (already built: --serve serves the
// build), on a port of the test's own.
export async function startServer() {
  const port = await freePort();
  const server = spawn(path.join(ROOT, "scripts/web.sh"), ["--serve"], {
    env: {...process.env, QUILLCREST_WEB_PORT: String(port)},
    stdio: ["ignore", "pipe", "pipe"],
  });
  const url = `http://localhost:${port}/`;
  for (let attempt = 0; attempt < 200; ++attempt) {
    try {
      const response = await fetch(url);
      if (response.ok) return {url, stop: () => server.kill()};
    } catch (e) {
      // not listening yet
    }
    await new Promise(resolve => setTimeout(resolve, 100));
  }
  server.kill();
  throw new Error("the page's server did not start");
}

// Headless Chromium with the flags a closed network needs.
export function launchBrowser() {
  return chromium.launch({
    executablePath: process.env.QUILLCREST_CHROMIUM || "/usr/bin/chromium",
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
           "--disable-component-update", "--disable-sync", "--disable-default-apps"],
  });
}

const kFakeDevices = fs.readFileSync(path.join(path.dirname(fileURLToPath(import.meta.url)), "fake_devices.js"), "utf8");

// A fresh page of its own context (its own storage), loaded and ready.
// `filePicker` false takes the File System Access picker away (as browsers
// without it have), so that "Open MC/GME" uses the file input; `devices`
// false takes Web Serial and WebUSB away.
export async function openPage(browser, url, {filePicker = false, devices = true, context = null} = {}) {
  const owned = !context;
  context = context || (await browser.newContext({acceptDownloads: true}));
  const page = await context.newPage();
  const errors = [];
  page.on("pageerror", error => errors.push(error.message));
  if (!filePicker) await page.addInitScript(() => delete window.showOpenFilePicker);
  if (devices) await page.addInitScript(kFakeDevices);
  else await page.addInitScript(() => {
    delete Navigator.prototype.serial;
    delete Navigator.prototype.usb;
  });
  await page.goto(url);
  await page.waitForSelector("body[data-ready=true]", {timeout: 30000});
  return {page, context, errors, close: () => (owned ? context.close() : page.close())};
}

// What each test file shares: a folder holding the demo card (demo.mcr),
// the page's server and a headless Chromium, made before the file's tests
// and gone after them. open() opens the page as openPage does.
export function pageFixture() {
  let server, browser;
  const fixture = {
    folder: null,
    file: name => path.join(fixture.folder, name),
    open: options => openPage(browser, server.url, options),
  };
  before(async () => {
    fixture.folder = tempFolder();
    execFileSync(path.join(BUILD, "native/bin/make_demo_card"), [fixture.file("demo.mcr")]);
    server = await startServer();
    browser = await launchBrowser();
  });
  after(async () => {
    await browser.close();
    server.stop();
    fs.rmSync(fixture.folder, {recursive: true, force: true});
  });
  return fixture;
}

export const pane = (page, index) => page.locator(".pane").nth(index);
export const button = (page, index, name) => pane(page, index).getByRole("button", {name, exact: true});
export const slot = (page, index, number) => pane(page, index).getByRole("button", {name: new RegExp(`^Slot ${number}:`)});

// Clicks a button that opens the file input, and gives it the file.
export async function chooseFile(page, click, file) {
  const [chooser] = await Promise.all([page.waitForEvent("filechooser"), click()]);
  await chooser.setFiles(file);
}

// The bytes of the download a click starts.
export async function downloaded(page, click) {
  const [download] = await Promise.all([page.waitForEvent("download"), click()]);
  const file = await download.path();
  return {name: download.suggestedFilename(), bytes: fs.readFileSync(file)};
}

// The page's message box: its caption and text; answered with `button`.
export async function answer(page, buttonName = "OK") {
  const box = page.locator("dialog#message[open]");
  await box.waitFor();
  const seen = {caption: await box.locator(".caption").textContent(), text: await box.locator(".text").textContent()};
  await box.getByRole("button", {name: buttonName, exact: true}).click();
  await page.locator("dialog#message[open]").waitFor({state: "detached"}).catch(() => {});
  await page.waitForFunction(() => !document.querySelector("dialog#message[open]"));
  return seen;
}

// Files dropped on an element, as the desktop drops them.
export async function dropFiles(page, target, files) {
  const payload = files.map(file => ({name: path.basename(file), bytes: [...fs.readFileSync(file)]}));
  const transfer = await page.evaluateHandle(items => {
    const data = new DataTransfer();
    for (const item of items) data.items.add(new File([new Uint8Array(item.bytes)], item.name));
    return data;
  }, payload);
  await target.dispatchEvent("dragover", {dataTransfer: transfer});
  await target.dispatchEvent("drop", {dataTransfer: transfer});
}

// A WebSocket server of one connection (RFC 6455, binary messages), for the
// bytes of the page's fake serial port: quicker than the driver's own calls,
// which would stand between every command and its answer.
function socketServer(onMessage) {
  return new Promise(resolve => {
    let socket = null;
    const server = http.createServer();
    server.on("upgrade", (request, connection) => {
      const accept = crypto.createHash("sha1")
        .update(request.headers["sec-websocket-key"] + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11").digest("base64");
      connection.write("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n" +
                       `Sec-WebSocket-Accept: ${accept}\r\n\r\n`);
      connection.setNoDelay(true);
      socket = connection;
      let buffered = Buffer.alloc(0);
      connection.on("data", data => {
        buffered = Buffer.concat([buffered, data]);
        for (;;) {
          if (buffered.length < 2) return;
          let length = buffered[1] & 0x7f, at = 2;
          if (length == 126) (length = buffered.readUInt16BE(2)), (at = 4);
          else if (length == 127) (length = Number(buffered.readBigUInt64BE(2))), (at = 10);
          if (buffered.length < at + 4 + length) return;
          const mask = buffered.subarray(at, at + 4);
          const payload = Buffer.from(buffered.subarray(at + 4, at + 4 + length));
          for (let i = 0; i < payload.length; ++i) payload[i] ^= mask[i % 4];
          const opcode = buffered[0] & 0x0f;
          buffered = buffered.subarray(at + 4 + length);
          if (opcode == 2) onMessage(payload);
        }
      });
      connection.on("error", () => {});
    });
    const send = payload => {
      if (!socket) return;
      let header;
      if (payload.length < 126) header = Buffer.from([0x82, payload.length]);
      else if (payload.length < 0x10000) header = Buffer.from([0x82, 126, payload.length >> 8, payload.length & 0xff]);
      else (header = Buffer.alloc(10)), (header[0] = 0x82), (header[1] = 127), header.writeBigUInt64BE(BigInt(payload.length), 2);
      socket.write(Buffer.concat([header, payload]));
    };
    server.listen(0, "127.0.0.1", () => resolve({url: `ws://127.0.0.1:${server.address().port}`, send,
                                                 close: () => (socket && socket.destroy(), server.close())}));
  });
}

// An emulated serial reader (quillcrest-serial-emulator) on a pseudo-terminal,
// reached by the page's fake Web Serial port over a WebSocket: "o" and the
// speed opens it (answered "o" and 1 or 0), "w" and bytes writes, "c"
// closes; the reader's bytes come as "d" and bytes, its loss as "l".
export async function serialReader(page, kind, card, {faults = "", state, card2, paced = false} = {}) {
  const args = [kind, "--card", card, "--state", state];
  if (faults) args.push("--faults", faults);
  if (card2) args.push("--card2", card2);
  if (paced) args.push("--paced");
  const emulator = spawn(kSerialEmulator, args, {stdio: ["ignore", "pipe", "inherit"]});
  const terminal = await new Promise((resolve, reject) => {
    emulator.stdout.once("data", data => resolve(data.toString().trim().split("\n")[0]));
    emulator.once("exit", code => reject(new Error(`the emulated ${kind} ended (${code})`)));
  });
  let fd = -1;
  let stream = null;
  const close = () => {
    if (stream) stream.destroy();
    stream = null;
    if (fd >= 0) {
      try {
        fs.closeSync(fd);
      } catch (e) {
        // gone with the reader
      }
    }
    fd = -1;
  };
  const link = await socketServer(message => {
    const op = String.fromCharCode(message[0]);
    if (op == "o") {
      close();
      let opened = true;
      try {
        fd = fs.openSync(terminal, fs.constants.O_RDWR | fs.constants.O_NOCTTY);
        // The speed the page asked for, set on the terminal the emulator reads it from.
        execFileSync("stty", ["raw", "-echo", String(message.readUInt32LE(1))], {stdio: [fd, "ignore", "ignore"]});
        stream = new tty.ReadStream(fd);
        stream.setRawMode(true);
        const lost = () => link.send(Buffer.from("l"));
        stream.on("data", data => link.send(Buffer.concat([Buffer.from("d"), data])));
        stream.on("error", lost);
        stream.on("end", lost);
      } catch (e) {
        close();
        opened = false;
      }
      link.send(Buffer.from([0x6f, opened ? 1 : 0]));
    } else if (op == "w") {
      try {
        fs.writeSync(fd, message.subarray(1));
      } catch (e) {
        link.send(Buffer.from("l"));
      }
    } else if (op == "c") {
      close();
    }
  });
  await page.evaluate(url => (window.__qcSerialSocket = url), link.url);
  return {
    stop() {
      close();
      link.close();
      emulator.kill();
    },
  };
}

// The emulated PS3 adaptor (quillcrest-usb-emulator), reached by the page's
// fake WebUSB device, one request at a time.
export async function usbAdaptor(page, card, {faults = "", state} = {}) {
  const emulator = spawn(kUsbEmulator, [], {
    env: {...process.env, QUILLCREST_EMULATED_CARD: card, QUILLCREST_EMULATED_STATE: state,
          QUILLCREST_EMULATED_FAULT: faults},
    stdio: ["pipe", "pipe", "inherit"],
  });
  let buffered = Buffer.alloc(0);
  const waiting = [];
  emulator.stdout.on("data", data => {
    buffered = Buffer.concat([buffered, data]);
    while (buffered.length >= 5) {
      const length = buffered.readUInt32LE(1);
      if (buffered.length < 5 + length) break;
      const payload = buffered.subarray(5, 5 + length);
      buffered = buffered.subarray(5 + length);
      waiting.shift()(payload);
    }
  });
  let queue = Promise.resolve();
  const request = (op, payload = Buffer.alloc(0), answered = true) => {
    const run = queue.then(() => new Promise(resolve => {
      const header = Buffer.alloc(5);
      header[0] = op.charCodeAt(0);
      header.writeUInt32LE(payload.length, 1);
      emulator.stdin.write(Buffer.concat([header, payload]));
      if (answered) waiting.push(resolve);
      else resolve(Buffer.alloc(0));
    }));
    queue = run;
    return run;
  };
  const int = value => {
    const bytes = Buffer.alloc(4);
    bytes.writeInt32LE(value);
    return bytes;
  };
  // The page's requests, each answered in turn with the emulator's bytes.
  const link = await socketServer(async message => {
    const op = String.fromCharCode(message[0]), payload = message.subarray(1);
    if (op == "X") {
      await request("X", payload, false);
      link.send(int(0));
    } else {
      link.send(await request(op, payload));
    }
  });
  await page.evaluate(url => (window.__qcUsbSocket = url), link.url);
  return {
    stop() {
      link.close();
      emulator.kill();
    },
  };
}
