#!/usr/bin/env bash
# The main job on the bundled sample: install what is missing, build the
# default preset, then calibrate the sample GeoTIFF and write a preview of it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
# The module, the host program, the catalogue beside it and the sample.
cmake --build --preset default --target ZeltoPlugIn_TIFF zelto-host zelto_wkt_catalogue zelto_sample

host=build/default/bin/zelto-host
sample=build/default/samples/sample_utm31n.tif
preview=build/default/sample_preview.png

echo
echo "=== ${host} info ${sample}"
"${host}" info "${sample}"
echo
echo "=== ${host} calibrate ${sample}"
status=0
"${host}" calibrate "${sample}" | tr -d '\r' || status=$?
echo
echo "=== ${host} zone ${sample} -o ${preview}"
"${host}" zone "${sample}" -o "${preview}" || status=$?
exit "${status}"
