// The demo page: draws the default mesh when it opens, then each OBJ file picked or dropped. The
// drawing runs in a Web Worker (demo-worker.js), so a large mesh never freezes the page; a file
// that comes while another is being drawn takes its place.
'use strict';

const kDefaultMesh = 'trefoil.obj';
// Larger files would take more memory than a page's WebAssembly module can have.
const kLargestFile = 64 * 1024 * 1024;

const element = (id) => document.getElementById(id);
const nativeDigest = element('native-digest').dataset.digest;

// Every drawing as the page showed it (demo-worker.js's answers), for the scripts that drive the
// page: the browser leg reads it, or, with ?report, gets each one posted (report.js).
window.orvelDrawings = [];

let worker = null;     // started for the first drawing, and again after a failed one
let drawing = null;    // the name of the mesh being drawn, or null
let pictureUrl = null;

function startWorker() {
  worker = new Worker('demo-worker.js');
  worker.onmessage = (event) => {
    drawing = null;
    show(event.data);
  };
  // The module failed to load or aborted: a fault of the page, not of the mesh.
  worker.onerror = (event) => {
    const name = drawing ?? 'the demo';
    worker.terminate();
    worker = null;
    drawing = null;
    console.error(`demo-worker.js: ${event.message}`);
    show({name, error: `the drawing stopped: ${event.message}`});
  };
}

// Abandons the drawing in progress, if any.
function stopDrawing() {
  if (worker && drawing) {
    worker.terminate();
    worker = null;
  }
  drawing = null;
}

function draw(name, bytes) {
  stopDrawing();
  if (!worker) startWorker();
  drawing = name;
  element('status').textContent = `Drawing ${name}\u2026`;
  worker.postMessage({name, bytes}, bytes ? [bytes] : []);
}

async function drawFile(file) {
  const largestMiB = kLargestFile / (1024 * 1024);
  if (file.size > kLargestFile) {
    stopDrawing();
    const mib = Math.ceil(file.size / (1024 * 1024));
    show({name: file.name, error: `${file.name}: ${mib} MiB is more than this page draws ` +
                                  `(${largestMiB} MiB at most); the command-line demo has no ` +
                                  'such limit'});
    return;
  }
  let bytes;
  try {
    bytes = await file.arrayBuffer();
  } catch (error) {
    stopDrawing();
    show({name: file.name, error: `${file.name}: the browser could not read it: ${error.message}`});
    return;
  }
  draw(file.name, bytes);
}

function show(result) {
  window.orvelDrawings.push(result);
  orvelReport({drawing: result, nativeDigest});
  element('status').textContent = '';
  element('error').textContent = result.error || '';
  element('mesh').textContent = result.counts ? `${result.name} (${result.counts})` : result.name;
  const digest = element('digest');
  digest.textContent = result.digest ? `fnv1a64 ${result.digest}` : '';
  digest.className = '';
  if (result.digest && result.builtIn) {
    const same = result.digest === nativeDigest;
    digest.className = same ? 'same' : 'differs';
    digest.append(document.createElement('br'),
                  same ? 'the same bits as the native demo' : 'differs from the native demo');
  }
  if (pictureUrl) URL.revokeObjectURL(pictureUrl);
  const svg = result.svg && new Blob([result.svg], {type: 'image/svg+xml'});
  pictureUrl = svg ? URL.createObjectURL(svg) : null;
  element('picture').src = pictureUrl || '';
  element('picture').alt = result.svg ? `The wireframe of ${result.name}` : '';
  const save = element('save');
  save.hidden = !pictureUrl;
  save.href = pictureUrl || '';
  save.download = result.name.replace(/\.obj$/i, '') + '.svg';
}

element('mesh-file').addEventListener('change', async (event) => {
  const [file] = event.target.files;
  if (file) await drawFile(file);
  event.target.value = '';  // once read: picking the same file again draws it again
});

document.addEventListener('dragover', (event) => {
  event.preventDefault();
  document.body.classList.add('dropping');
});
document.addEventListener('dragleave', () => document.body.classList.remove('dropping'));
document.addEventListener('drop', (event) => {
  event.preventDefault();
  document.body.classList.remove('dropping');
  const [file] = event.dataTransfer.files;
  if (file) drawFile(file);
});

draw(kDefaultMesh, null);
