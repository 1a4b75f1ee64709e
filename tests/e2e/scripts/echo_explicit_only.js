// C-ECHO from dcmjs-dimse proposing explicit VR little endian only.
// usage: node echo_explicit_only.js PORT
// Prints "rejected" and exits 1 when the association is not accepted.
const dimse = require('dcmjs-dimse');
const { Client, requests, association } = dimse;

// dcmjs-dimse proposes implicit and explicit VR; keep explicit only.
const original = association.Association.prototype.addPresentationContextFromRequest;
association.Association.prototype.addPresentationContextFromRequest = function (request) {
  return original.call(this, request, '1.2.840.10008.1.2.1');
};

const [port] = process.argv.slice(2);
const client = new Client();
const request = new requests.CEchoRequest();
let status = null;
request.on('response', (response) => { status = response.getStatus(); });
client.addRequest(request);
client.on('associationRejected', () => { console.log('rejected'); });
client.on('networkError', (e) => { console.log('network error: ' + e); });
client.on('closed', () => {
  if (status === null) { console.log('rejected'); process.exitCode = 1; }
  else console.log('status ' + status);
});
client.send('127.0.0.1', Number(port), 'EXPLSCU', 'CORVANEL', { associationTimeout: 10000 });
