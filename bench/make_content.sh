#!/usr/bin/env bash
# make_content.sh FOLDER MEGABYTES FILES: writes a realistic content set (HTML-like pages
# and text indexes of running prose, well compressible) split into a base package folder
# QMT_Kordalin_000 and nine numbered ones, QMT_Kordalin_001 to _009.
set -euo pipefail
out=$1 megabytes=$2 files=$3
mkdir -p "$out"
awk -v out="$out" -v total=$((megabytes * 1024 * 1024)) -v files="$files" 'BEGIN {
  srand(5110);
  n = split("almanac tide current harbour lighthouse beacon channel sounding fathom chart " \
            "bearing compass meridian latitude longitude equinox solstice twilight eclipse moon " \
            "season reckoning pilot anchorage shoal reef buoy mark depth datum survey coast " \
            "estuary river delta bay cape headland strait sound passage ebb flood spring neap " \
            "the of and a to in is for on with as by at from that this which are be was it " \
            "table figure section chapter note reference index entry volume edition revision", words, " ");
  per = int(total / files);
  for (f = 0; f < files; f++) {
    package = sprintf("QMT_Kordalin_%03d", int(f * 10 / files));
    section = sprintf("s%02d", f % 40);
    ext = (f % 5 == 4) ? "txt" : "html";
    dir = out "/" package "/Kordex/" section;
    if (!(dir in made)) { system("mkdir -p \"" dir "\""); made[dir] = 1; }
    file = sprintf("%s/page%04d.%s", dir, f, ext);
    size = int(per * (0.5 + rand()));
    written = 0;
    if (ext == "html") { print "<!DOCTYPE html><html><head><title>Page " f "</title></head><body>" > file; }
    while (written < size) {
      line = (ext == "html") ? "<p>" : "";
      for (w = 0; w < 14; w++) line = line words[int(rand() * n) + 1] " ";
      line = line ((ext == "html") ? "</p>" : "");
      print line > file;
      written += length(line) + 1;
    }
    if (ext == "html") print "</body></html>" > file;
    close(file);
  }
}'
