// Checks .glb files with the Khronos glTF validator: no errors and no
// warnings (texture-coordinate sets no material reads are only infos).
// Usage: node validate_glb.js FILE.glb...
const validator = require('gltf-validator');
const fs = require('fs');

async function main() {
    let failed = false;
    for (const path of process.argv.slice(2)) {
        const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(path)));
        const issues = report.issues;
        for (const m of issues.messages) {
            if (m.severity <= 1) {
                console.error(`${path}: ${m.code}: ${m.message} ${m.pointer || ''}`);
            }
        }
        failed = failed || issues.numErrors > 0 || issues.numWarnings > 0;
        console.log(`${path}: ${issues.numErrors} errors, ${issues.numWarnings} warnings`);
    }
    process.exit(failed ? 1 : 0);
}
main().catch((e) => {
    console.error(e);
    process.exit(2);
});
