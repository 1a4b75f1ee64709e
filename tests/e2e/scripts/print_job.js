// A print job from dcmjs-dimse, step by step as a JSON file describes it.
// usage: node print_job.js PORT CALLED_AE JOB.json
// JOB.json: { "meta": "gray"|"color", "calling": "AE", "steps": [ step... ] }
// steps: {"op":"createSession","attrs":{...}}
//        {"op":"createFilmBox","attrs":{...},"uid":"optional requested UID"}
//        {"op":"setImage","filmBox":i,"box":j,"image":{see makeImage}}
//        {"op":"setImageUID","uid":"..."}   N-SET of an image box UID of choice
//        {"op":"setSession"}  {"op":"printSession"}  {"op":"printFilmBox","filmBox":i,"uid":"..."}
//        {"op":"deleteFilmBox","filmBox":i}  {"op":"deleteSession"}  {"op":"createLUT"}
//        {"op":"raw","service":"set"|"action"|"delete","class":"UID","uid":"UID"}
// Prints, after the association has closed, the lines
//   "elapsed MS" (from the association request to the last response),
//   "times MS..." (the same to each step's response),
//   "statuses S1 S2 ..." (decimal; "-" for a step without response),
//   "session UID", "filmbox UID" per film box, "imagebox I UID" per image box of film box I.
const fs = require('fs');
const dimse = require('dcmjs-dimse');
const { Client, requests, association } = dimse;
dimse.log.setLevel('silent');

// Implicit VR little endian only, as modalities commonly propose it.
const original = association.Association.prototype.addPresentationContextFromRequest;
association.Association.prototype.addPresentationContextFromRequest = function (request) {
  return original.call(this, request, '1.2.840.10008.1.2');
};

const [port, called, jobFile] = process.argv.slice(2);
const job = JSON.parse(fs.readFileSync(jobFile, 'utf8'));
const color = job.meta === 'color';
const META = color ? '1.2.840.10008.5.1.1.18' : '1.2.840.10008.5.1.1.9';
const FILM_SESSION = '1.2.840.10008.5.1.1.1';
const FILM_BOX = '1.2.840.10008.5.1.1.2';
const IMAGE_BOX = color ? '1.2.840.10008.5.1.1.4.1' : '1.2.840.10008.5.1.1.4';
const PRESENTATION_LUT = '1.2.840.10008.5.1.1.23';

// Image: rows, columns, bits (8, 12, 16), photometric, polarity, planar,
// pattern "halves": the top half black, the bottom half white (colour: red above, blue below).
function makeImage(picture) {
  const rows = picture.rows || 64, columns = picture.columns || 64;
  const bits = picture.bits || 8;
  const rgb = picture.photometric === 'RGB';
  const max = (1 << bits) - 1;
  const bytesPerSample = bits > 8 ? 2 : 1;
  const samples = rgb ? 3 : 1;
  const buffer = Buffer.alloc(rows * columns * samples * bytesPerSample);
  const put = (index, value) => {
    if (bytesPerSample === 2) buffer.writeUInt16LE(value, index * 2);
    else buffer[index] = value;
  };
  for (let y = 0; y < rows; y++) {
    const top = y < rows / 2;
    for (let x = 0; x < columns; x++) {
      const p = y * columns + x;
      if (!rgb) {
        put(p, top ? 0 : max);
      } else {
        const value = top ? [255, 0, 0] : [0, 0, 255];
        for (let c = 0; c < 3; c++) {
          const index = picture.planar ? c * rows * columns + p : p * 3 + c;
          put(index, value[c]);
        }
      }
    }
  }
  const item = {
    SamplesPerPixel: samples,
    PhotometricInterpretation: picture.photometric || 'MONOCHROME2',
    Rows: rows,
    Columns: columns,
    BitsAllocated: bytesPerSample * 8,
    BitsStored: bits,
    HighBit: bits - 1,
    PixelRepresentation: 0,
    PixelData: [buffer.buffer.slice(buffer.byteOffset, buffer.byteOffset + buffer.length)],
    _vrMap: { PixelData: 'OW' },
  };
  if (rgb) item.PlanarConfiguration = picture.planar ? 1 : 0;
  return item;
}

const result = { statuses: [], times: [], filmBoxes: [], imageBoxes: [], session: null };
const client = new Client();
let started = 0, lastResponse = 0;
const steps = job.steps.map((step) => ({ step, request: null }));

// The server does not check the film box's reference to its film session.
function filmBoxDataset(step) {
  return new dimse.Dataset(Object.assign({
    ReferencedFilmSessionSequence: [{ ReferencedSOPClassUID: FILM_SESSION,
                                      ReferencedSOPInstanceUID: '1.2.3' }],
  }, step.attrs || {}));
}

// Fills in the UIDs that earlier responses have made known.
function resolve() {
  for (const { step, request } of steps) {
    if (step.op === 'printSession' || step.op === 'deleteSession' || step.op === 'setSession')
      request.setRequestedSopInstanceUid(step.uid || result.session || '1.2.3');
    else if (step.op === 'printFilmBox' || step.op === 'deleteFilmBox')
      request.setRequestedSopInstanceUid(step.uid || result.filmBoxes[step.filmBox] || '1.2.3');
    else if (step.op === 'setImage') {
      const boxes = result.imageBoxes[step.filmBox] || [];
      request.setRequestedSopInstanceUid(boxes[step.box] || '1.2.3');
    }
  }
}

steps.forEach((entry, index) => {
  const { step } = entry;
  let request;
  switch (step.op) {
    case 'createSession':
      request = new requests.NCreateRequest(FILM_SESSION, '', META);
      // Without attributes no data set at all, as DCMTK's dcmprscu sends it.
      if (step.attrs) request.setDataset(new dimse.Dataset(step.attrs));
      break;
    case 'createFilmBox':
      request = new requests.NCreateRequest(FILM_BOX, step.uid || '', META);
      request.setDataset(filmBoxDataset(step));
      break;
    case 'setImage':
    case 'setImageUID': {
      request = new requests.NSetRequest(IMAGE_BOX, step.uid || '1.2.3', META);
      const attrs = { ImageBoxPosition: (step.box || 0) + 1 };
      if (step.polarity) attrs.Polarity = step.polarity;
      attrs[color ? 'BasicColorImageSequence' : 'BasicGrayscaleImageSequence'] =
          [makeImage(step.image || {})];
      request.setDataset(new dimse.Dataset(attrs));
      break;
    }
    case 'setSession':
      request = new requests.NSetRequest(FILM_SESSION, '1.2.3', META);
      request.setDataset(new dimse.Dataset({ FilmSessionLabel: 'CHANGED' }));
      break;
    case 'printSession':
      request = new requests.NActionRequest(FILM_SESSION, '1.2.3', 1, META);
      break;
    case 'printFilmBox':
      request = new requests.NActionRequest(FILM_BOX, '1.2.3', 1, META);
      break;
    case 'deleteFilmBox':
      request = new requests.NDeleteRequest(FILM_BOX, '1.2.3', META);
      break;
    case 'deleteSession':
      request = new requests.NDeleteRequest(FILM_SESSION, '1.2.3', META);
      break;
    case 'raw': // an N-SET, N-ACTION or N-DELETE of any SOP class
      if (step.service === 'set') {
        request = new requests.NSetRequest(step.class, step.uid, META);
        request.setDataset(new dimse.Dataset({ PrinterName: 'X' }));
      } else if (step.service === 'action') {
        request = new requests.NActionRequest(step.class, step.uid, 1, META);
      } else {
        request = new requests.NDeleteRequest(step.class, step.uid, META);
      }
      break;
    case 'createLUT':
      request = new requests.NCreateRequest(PRESENTATION_LUT, '', META);
      request.setDataset(new dimse.Dataset({ PresentationLUTShape: 'IDENTITY' }));
      break;
    default:
      throw new Error('unknown step ' + step.op);
  }
  entry.request = request;
  result.statuses.push(null);
  request.on('response', (response) => {
    lastResponse = Date.now();
    result.times[index] = lastResponse - started;
    result.statuses[index] = response.getStatus();
    if (step.op === 'createSession') result.session = response.getAffectedSopInstanceUid();
    if (step.op === 'createFilmBox') {
      result.filmBoxes.push(response.getAffectedSopInstanceUid());
      const dataset = response.getDataset();
      const refs = dataset ? dataset.getElement('ReferencedImageBoxSequence') || [] : [];
      result.imageBoxes.push(refs.map((r) => r.ReferencedSOPInstanceUID));
    }
    resolve();
  });
  client.addRequest(request);
});
resolve();

// The server resets the connection when it closes it after the release.
client.on('networkError', () => {});
client.on('closed', () => {
  const lines = ['elapsed ' + (lastResponse - started),
                 'times ' + result.times.join(' '),
                 'statuses ' + result.statuses.map((s) => (s === null ? '-' : String(s))).join(' ')];
  if (result.session) lines.push('session ' + result.session);
  result.filmBoxes.forEach((uid) => lines.push('filmbox ' + uid));
  result.imageBoxes.forEach((uids, i) => uids.forEach((uid) => lines.push('imagebox ' + i + ' ' + uid)));
  process.stdout.write(lines.join('\n') + '\n');
});
started = Date.now();
client.send('127.0.0.1', Number(port), job.calling || 'PRINTSCU', called,
            { associationTimeout: 20000, pduTimeout: job.pduTimeout || 60000 });
