#!/usr/bin/env bash
# jtds_cases.sh: runs jtds_cases.java against msde-sim with Debian's jTDS (libjtds-java),
# through a JDK's launcher of single source files; run through with-sim.sh. A skip (77),
# with the reason, when the JDK or jTDS is not installed. The JVM keeps no performance data
# (it would leave /tmp/hsperfdata_<user> behind).
set -uo pipefail
here=$(dirname "$0")
jar=/usr/share/java/jtds.jar
command -v java >/dev/null || { echo "SKIP: Java is not installed (Debian: openjdk-17-jdk-headless)"; exit 77; }
# A source file runs only where the JDK's compiler is (a JRE alone has none).
java -XX:-UsePerfData --list-modules 2>/dev/null | grep -q '^jdk.compiler' ||
  { echo "SKIP: Java has no compiler (Debian: openjdk-17-jdk-headless)"; exit 77; }
[ -f "$jar" ] || { echo "SKIP: jTDS is not installed (Debian: libjtds-java)"; exit 77; }
exec java -XX:-UsePerfData -cp "$jar" "$here/jtds_cases.java"
