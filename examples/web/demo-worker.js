// Draws meshes for the demo page with the command-line demo's own code, OrvelDemoWeb.js. A message
// {name, bytes} draws a file of the user's, {name} alone the default mesh, which the module holds;
// the answer is {name, builtIn, counts, svg, digest} or {name, builtIn, error}.
'use strict';

importScripts('OrvelDemoWeb.js');

// Where the module holds the default mesh (examples/web/CMakeLists.txt embeds it).
const kDefaultMeshes = '/meshes/';
// Users' files are written here for the drawing and removed after it, under their own names, so
// that a message names the file as the command-line demo would: "cube.obj:14: ...".
const kUploads = '/uploads';

const ready = OrvelDemoModule().then((module) => {
  module.FS.mkdir(kUploads);
  module.FS.chdir(kUploads);
  return module;
});

// A name that is one file in kUploads, whatever the browser says the file is called.
function fileName(name) {
  return /^[^/\0]+$/.test(name) && name !== '.' && name !== '..' ? name : 'mesh.obj';
}

function drawIn(module, name, bytes) {
  if (!bytes) return module.draw(kDefaultMeshes + name);
  const path = fileName(name);
  module.FS.writeFile(path, new Uint8Array(bytes));
  try {
    return module.draw(path);
  } finally {
    module.FS.unlink(path);
  }
}

onmessage = ({data: {name, bytes}}) => {
  ready.then((module) => postMessage({name, builtIn: !bytes, ...drawIn(module, name, bytes)}))
      .catch((error) => setTimeout(() => {
        throw error;  // to the page's onerror, which replaces this worker
      }));
};
