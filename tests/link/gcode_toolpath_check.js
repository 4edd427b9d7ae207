// Interprets a G-code file with gcode-toolpath and prints, starting from the origin:
//   "end X Y Z", "min X Y Z", "max X Y Z", "moves N" - where it ends and the box every move
//     stays in;
//   "travels N", "lowest-travel Z" - the G0 moves in X/Y and the lowest height any of them is at
//     ("none" without travels);
//   "burning-travels N" - G0 moves in X/Y while the spindle or laser is on (M3/M4) at S above 0;
//   "pass-step D" - how far a cut goes below the deepest point of the pass before it, at most:
//     a pass starts where a cut goes into the material from the surface (Z 0) or above, measured
//     against what the passes that went in at the same place reached (the surface for a new
//     place), and with each plunge (a G1 down in Z alone) below the surface, measured against
//     the passes before it since the cutter went in.
const Toolpath = require('gcode-toolpath');

const box = {min: {x: 0, y: 0, z: 0}, max: {x: 0, y: 0, z: 0}};
const grow = (v) => {
  for (const axis of ['x', 'y', 'z']) {
    box.min[axis] = Math.min(box.min[axis], v[axis]);
    box.max[axis] = Math.max(box.max[axis], v[axis]);
  }
};
const same = (a, b) => Math.abs(a - b) < 1e-6;
const key = (v) => `${v.x.toFixed(4)},${v.y.toFixed(4)}`;

let moves = 0;
let travels = 0;
let lowestTravel = Infinity;
let burningTravels = 0;
let power = 0;
// Passes: the deepest point each start place was cut to, and the pass being cut.
const reached = new Map();
let place = null;   // where the cutter last went into the material
let before = 0;     // the deepest point of the passes before this one
let deepest = 0;    // the deepest point of this pass
let passStep = 0;

const lineMoves = [];
const toolpath = new Toolpath({
  position: {x: 0, y: 0, z: 0},
  addLine: (modal, v1, v2) => {
    grow(v1);
    grow(v2);
    ++moves;
    lineMoves.push({motion: modal.motion, v1: {...v1}, v2: {...v2}});
  },
  addArcCurve: (modal, v1, v2) => { grow(v1); grow(v2); ++moves; },
});

const endRun = () => {
  if (place === null) return;
  reached.set(place, Math.min(reached.get(place) ?? 0, deepest, before));
  place = null;
};

const look = (move, spindle) => {
  const {v1, v2} = move;
  const inPlane = !same(v1.x, v2.x) || !same(v1.y, v2.y);
  if (move.motion === 'G0') {
    if (!inPlane) return;
    ++travels;
    lowestTravel = Math.min(lowestTravel, v1.z, v2.z);
    if (spindle !== 'M5' && power > 0) ++burningTravels;
    endRun();
    return;
  }
  if (move.motion !== 'G1' || (v1.z >= 0 && v2.z >= 0)) return;
  if (v1.z >= 0) {
    // Into the material from the surface: the first pass at this place, or one more.
    endRun();
    place = key(v1);
    before = reached.get(place) ?? 0;
    deepest = 0;
  } else if (!inPlane && v2.z < v1.z) {
    before = Math.min(before, deepest);
    deepest = v1.z;
  }
  deepest = Math.min(deepest, v2.z);
  passStep = Math.max(passStep, before - v2.z);
};

try {
  toolpath.loadFromFileSync(process.argv[2], (data) => {
    // A line's S applies to its own move.
    for (const [letter, value] of data.words) {
      if (letter === 'S') power = value;
    }
    const spindle = toolpath.getModal().spindle;
    for (const move of lineMoves) look(move, spindle);
    lineMoves.length = 0;
  });
} catch (err) {
  console.error(String(err));
  process.exit(1);
}
const p = toolpath.getPosition();
const f = (v) => v.toFixed(4);
console.log(`end ${f(p.x)} ${f(p.y)} ${f(p.z)}`);
console.log(`min ${f(box.min.x)} ${f(box.min.y)} ${f(box.min.z)}`);
console.log(`max ${f(box.max.x)} ${f(box.max.y)} ${f(box.max.z)}`);
console.log(`moves ${moves}`);
console.log(`travels ${travels}`);
console.log(`lowest-travel ${travels ? f(lowestTravel) : 'none'}`);
console.log(`burning-travels ${burningTravels}`);
console.log(`pass-step ${f(passStep)}`);
