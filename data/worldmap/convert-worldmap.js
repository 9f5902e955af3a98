#!/usr/bin/env node
// Converts world-atlas's TopoJSON (Natural Earth admin-0 countries at 1:110m
// and 1:50m) into the map's compact world map file: for each scale, the land
// as filled rings and the country borders as lines (the arcs two countries
// share). The layout is described in corvane/map/WorldMap.h.
//   node convert-worldmap.js PACKAGE_DIR OUT
'use strict';
const fs = require('fs');
const path = require('path');

const SCALE = 100000;  // file units per degree

// The two scales and the zoom levels each is drawn at.
const SOURCES = [
  {file: 'countries-110m.json', firstZoom: 0, lastZoom: 2},
  {file: 'countries-50m.json', firstZoom: 3, lastZoom: 19},
];
const LAND = 1, BORDERS = 2;

function decodeArcs(topology) {
  const [sx, sy] = topology.transform.scale;
  const [tx, ty] = topology.transform.translate;
  return topology.arcs.map(arc => {
    let x = 0, y = 0;
    return arc.map(([dx, dy]) => {
      x += dx;
      y += dy;
      const lon = Math.max(-180, Math.min(180, x * sx + tx));
      const lat = Math.max(-90, Math.min(90, y * sy + ty));
      return [Math.round(lon * SCALE), Math.round(lat * SCALE)];
    });
  });
}

// A ring of arc indices (~i is arc i backwards) as one list of points.
function stitch(arcs, indices) {
  const ring = [];
  for (const index of indices) {
    const arc = index < 0 ? arcs[~index].slice().reverse() : arcs[index];
    ring.push(...(ring.length ? arc.slice(1) : arc));
  }
  return ring;
}

// Some rings cross the antimeridian (eastern Russia goes on to 169 W, Fiji
// straddles it). Such a ring is made continuous (longitudes beyond 180) and
// cut into its parts on each side of 180, which a flat map can fill; a ring
// that goes once round a pole is left whole.
const EDGE = 180 * SCALE;

function unwrap(points) {
  const out = [points[0].slice()];
  for (let i = 1; i < points.length; ++i) {
    let lon = points[i][0];
    const previous = out[i - 1][0];
    while (lon - previous > EDGE) lon -= 2 * EDGE;
    while (previous - lon > EDGE) lon += 2 * EDGE;
    out.push([lon, points[i][1]]);
  }
  return out;
}

// Sutherland-Hodgman against one vertical line: keep x <= limit (side 1) or x >= limit (side -1).
function clipVertical(ring, limit, side) {
  const inside = p => side * (limit - p[0]) >= 0;
  const out = [];
  for (let i = 0; i < ring.length; ++i) {
    const a = ring[(i + ring.length - 1) % ring.length], b = ring[i];
    if (inside(b) !== inside(a)) {
      const t = (limit - a[0]) / (b[0] - a[0]);
      out.push([limit, Math.round(a[1] + t * (b[1] - a[1]))]);
    }
    if (inside(b)) out.push(b);
  }
  return out;
}

function splitRing(points) {
  const ring = unwrap(points);
  const last = ring[ring.length - 1][0], first = ring[0][0];
  if (Math.abs(last - first) > EDGE) return [points];  // round a pole
  const parts = [];
  for (const shift of [-2 * EDGE, 0, 2 * EDGE]) {
    const shifted = ring.map(([x, y]) => [x + shift, y]);
    const part = clipVertical(clipVertical(shifted, EDGE, 1), -EDGE, -1);
    if (part.length >= 3) parts.push(part);
  }
  return parts;
}

// A line is cut where it crosses the antimeridian.
function splitLine(points) {
  const lines = [];
  let current = [points[0]];
  for (let i = 1; i < points.length; ++i) {
    const [x0] = current[current.length - 1], [x1, y1] = points[i];
    if (Math.abs(x1 - x0) > EDGE) {
      if (Math.abs(x0) === EDGE || Math.abs(x1) === EDGE) {
        // A point on the antimeridian itself: take the side of the line so far.
        if (Math.abs(x1) === EDGE) { current.push([Math.sign(x0) * EDGE, y1]); continue; }
      }
      lines.push(current);
      current = [];
    }
    current.push(points[i]);
  }
  lines.push(current);
  return lines.filter(l => l.length >= 2);
}

function polygonsOf(geometry) {
  if (geometry.type === 'Polygon') return [geometry.arcs];
  if (geometry.type === 'MultiPolygon') return geometry.arcs;
  return [];
}

function landRings(topology, arcs) {
  const rings = [];
  for (const geometry of topology.objects.land.geometries)
    for (const polygon of polygonsOf(geometry))
      for (const ring of polygon) rings.push(...splitRing(stitch(arcs, ring)));
  return rings.filter(r => r.length >= 3);
}

// Arcs that belong to two different countries are the borders between them.
function borderLines(topology, arcs) {
  const owners = new Map();
  topology.objects.countries.geometries.forEach((geometry, country) => {
    for (const polygon of polygonsOf(geometry))
      for (const ring of polygon)
        for (const index of ring) {
          const arc = index < 0 ? ~index : index;
          if (!owners.has(arc)) owners.set(arc, new Set());
          owners.get(arc).add(country);
        }
  });
  const lines = [];
  for (const [arc, countries] of owners) if (countries.size > 1) lines.push(...splitLine(arcs[arc]));
  return lines.filter(l => l.length >= 2);
}

function varint(bytes, v) {
  while (v >= 0x80) {
    bytes.push((v & 0x7f) | 0x80);
    v = Math.floor(v / 128);
  }
  bytes.push(v);
}

const zigzag = v => (v < 0 ? -2 * v - 1 : 2 * v);

function encodeLayer(layer) {
  const bytes = [];
  let points = 0;
  for (const ring of layer.rings) {
    varint(bytes, ring.length);
    let lon = 0, lat = 0;
    for (const [x, y] of ring) {
      varint(bytes, zigzag(x - lon));
      varint(bytes, zigzag(y - lat));
      lon = x;
      lat = y;
      ++points;
    }
  }
  return {data: Buffer.from(bytes), points};
}

function fnv1a(buffer) {
  let hash = 2166136261;
  for (const byte of buffer) {
    hash ^= byte;
    hash = Math.imul(hash, 16777619) >>> 0;
  }
  return hash >>> 0;
}

function main() {
  const [packageDir, out] = process.argv.slice(2);
  if (!packageDir || !out) {
    console.error('usage: convert-worldmap.js PACKAGE_DIR OUT');
    process.exit(2);
  }
  const layers = [];
  for (const source of SOURCES) {
    const topology = JSON.parse(fs.readFileSync(path.join(packageDir, source.file), 'utf8'));
    const arcs = decodeArcs(topology);
    layers.push({kind: LAND, firstZoom: source.firstZoom, lastZoom: source.lastZoom, rings: landRings(topology, arcs)});
    layers.push({kind: BORDERS, firstZoom: source.firstZoom, lastZoom: source.lastZoom,
                 rings: borderLines(topology, arcs)});
  }
  const encoded = layers.map(encodeLayer);
  const header = Buffer.alloc(12 + 16 * layers.length);
  header.write('CVWMAP', 0, 'latin1');
  header.writeUInt16LE(1, 6);
  header.writeUInt32LE(layers.length, 8);
  layers.forEach((layer, i) => {
    const at = 12 + 16 * i;
    header.writeUInt8(layer.kind, at);
    header.writeUInt8(layer.firstZoom, at + 1);
    header.writeUInt8(layer.lastZoom, at + 2);
    header.writeUInt8(0, at + 3);
    header.writeUInt32LE(layer.rings.length, at + 4);
    header.writeUInt32LE(encoded[i].points, at + 8);
    header.writeUInt32LE(encoded[i].data.length, at + 12);
  });
  const body = Buffer.concat([header, ...encoded.map(e => e.data)]);
  const trailer = Buffer.alloc(4);
  trailer.writeUInt32LE(fnv1a(body), 0);
  fs.writeFileSync(out, Buffer.concat([body, trailer]));
}

main();
