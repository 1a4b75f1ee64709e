// N-GET on the Printer SOP instance with dcmjs-dimse.
// usage: node nget_printer.js PORT META_SOP_CLASS|- ATTRIBUTE...
// Prints one JSON line: the response status and the three printer attributes.
const dimse = require('dcmjs-dimse');
const { Client, requests } = dimse;

const [port, meta, ...attributes] = process.argv.slice(2);
const client = new Client();
const request = new requests.NGetRequest(
  '1.2.840.10008.5.1.1.16', '1.2.840.10008.5.1.1.17', attributes,
  meta === '-' ? undefined : meta);
let result = { status: null };
request.on('response', (response) => {
  const dataset = response.getDataset();
  result = {
    status: response.getStatus(),
    printerStatus: dataset ? dataset.getElement('PrinterStatus') : null,
    printerStatusInfo: dataset ? dataset.getElement('PrinterStatusInfo') : null,
    printerName: dataset ? dataset.getElement('PrinterName') : null,
  };
});
client.addRequest(request);
// The server resets the connection when it closes it after the release.
client.on('networkError', (e) => { if (result.status === null) { console.error(String(e)); process.exitCode = 2; } });
client.on('closed', () => { console.log(JSON.stringify(result)); });
client.send('127.0.0.1', Number(port), 'NGETSCU', 'CORVANEL', { associationTimeout: 10000, pduTimeout: 10000 });
