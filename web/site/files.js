// Files in and out of the page: chosen, dropped, downloaded, and written
// back where the browser lets the page write the file it came from.

// The bytes and name of a File.
export async function readFile(file) {
  return {name: file.name, bytes: new Uint8Array(await file.arrayBuffer())};
}

// One file from the page's file input (a click opens the browser's chooser).
export function chooseFile(input) {
  return new Promise(resolve => {
    input.value = "";
    input.onchange = () => resolve(input.files && input.files[0] ? input.files[0] : null);
    input.oncancel = () => resolve(null);
    input.click();
  });
}

// A card file to open: through the File System Access API where the
// browser has it, keeping the handle to write the file back later.
export async function chooseCardFile(input) {
  if (typeof window.showOpenFilePicker == "function") {
    try {
      const [handle] = await window.showOpenFilePicker({multiple: false});
      return {file: await handle.getFile(), handle};
    } catch (e) {
      return null;
    }
  }
  const file = await chooseFile(input);
  return file ? {file, handle: null} : null;
}

export function download(bytes, name) {
  const url = URL.createObjectURL(new Blob([bytes], {type: "application/octet-stream"}));
  const link = document.createElement("a");
  link.href = url;
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

// Writes the bytes back into the file opened; false when the browser refused.
export async function writeBack(handle, bytes) {
  try {
    const writable = await handle.createWritable();
    await writable.write(bytes);
    await writable.close();
    return true;
  } catch (e) {
    return false;
  }
}

// "card.gme" with another extension: "card.mcr".
export function withExtension(name, extension) {
  const stem = name && name.includes(".") ? name.slice(0, name.lastIndexOf(".")) : name || "memcard";
  return stem + extension;
}
