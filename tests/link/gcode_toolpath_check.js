// Interprets a G-code file with gcode-toolpath and prints where it ends and the box that every
// move stays in, starting from the origin: "end X Y Z", "min X Y Z", "max X Y Z", "moves N".
const Toolpath = require('gcode-toolpath');

const box = {min: {x: 0, y: 0, z: 0}, max: {x: 0, y: 0, z: 0}};
const grow = (v) => {
  for (const axis of ['x', 'y', 'z']) {
    box.min[axis] = Math.min(box.min[axis], v[axis]);
    box.max[axis] = Math.max(box.max[axis], v[axis]);
  }
};
let moves = 0;
const toolpath = new Toolpath({
  position: {x: 0, y: 0, z: 0},
  addLine: (modal, v1, v2) => { grow(v1); grow(v2); ++moves; },
  addArcCurve: (modal, v1, v2) => { grow(v1); grow(v2); ++moves; },
});
toolpath.loadFromFile(process.argv[2], (err) => {
  if (err) {
    console.error(String(err));
    process.exit(1);
  }
  const p = toolpath.getPosition();
  const f = (v) => v.toFixed(4);
  console.log(`end ${f(p.x)} ${f(p.y)} ${f(p.z)}`);
  console.log(`min ${f(box.min.x)} ${f(box.min.y)} ${f(box.min.z)}`);
  console.log(`max ${f(box.max.x)} ${f(box.max.y)} ${f(box.max.z)}`);
  console.log(`moves ${moves}`);
});
