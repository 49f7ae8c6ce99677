"""The SARIF output of the built console driver (--format sarif): every log
must validate against the SARIF 2.1.0 schema vendored in tests/schemas, and
hold one result per line of the findings view of the same run, at its file
and line, with the lines the finding names as related locations.

    sarif_output_test.py DORVEX SOURCE_DIR
"""
import copy
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

import jsonschema

DORVEX, SOURCES = sys.argv[1:3]
SCHEMA_PATH = os.path.join(SOURCES, "tests", "schemas", "sarif-schema-2.1.0.json")
EXAMPLES = os.path.join(SOURCES, "examples")
# FILE:LINE: KIND: LIST: TEXT, as the findings view prints a finding.
VIEW_LINE = re.compile(r"(.*?):(?:(\d+):)? (not-covered|undecided|unreachable|redundant|changed"
                       r"|not read): ([^:]+): (.*)")


def run(arguments, cwd):
    done = subprocess.run([DORVEX, "-q", "--no-report"] + arguments, cwd=cwd,
                          capture_output=True, timeout=600)
    return done.returncode, done.stdout, done.stderr


class SarifOutputTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(SCHEMA_PATH, encoding="utf-8") as file:
            schema = json.load(file)
        jsonschema.Draft7Validator.check_schema(schema)
        cls.validator = jsonschema.Draft7Validator(schema)

    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory(prefix="dorvex-sarif-")
        self.dir = self.scratch.name

    def tearDown(self):
        self.scratch.cleanup()

    def errors(self, log):
        return [f"{list(e.absolute_path)}: {e.message}" for e in self.validator.iter_errors(log)]

    def log(self, arguments, status, cwd=None):
        code, out, err = run(["--format", "sarif"] + arguments, cwd or self.dir)
        self.assertEqual(status, code, err)
        log = json.loads(out.decode("utf-8"))
        self.assertEqual([], self.errors(log))
        [sarif_run] = log["runs"]
        driver = sarif_run["tool"]["driver"]
        version = subprocess.run([DORVEX, "--version"], capture_output=True, text=True).stdout
        self.assertEqual(("Dorvex", "dorvex " + driver["version"] + "\n"),
                         (driver["name"], version))
        self.assertEqual(status, sarif_run["invocations"][0]["exitCode"])
        return sarif_run

    def lines_of(self, path, cwd):
        with open(os.path.join(cwd, path), "rb") as file:
            return file.read().split(b"\n")

    def test_results_are_the_findings_view(self):
        """Each case's log has the findings of --print findings, one result
        each; every location and related location is a line of its file."""
        revision = ["revision-old.cfg", "revision-new.cfg"]
        pair = ["source.cfg", "setting.cfg"]
        cases = [
            (["--syntax", "full", "--cover", "list", "--within"] + pair, {"not-covered", "redundant"}),
            (["--within", "source.cfg"], {"redundant"}),
            (["--diff"] + revision, {"changed"}),
            (["--syntax", "full", "--cover", "list"] + revision, {"not-covered"}),
        ]
        for arguments, kinds in cases:
            with self.subTest(arguments=arguments):
                code, view, err = run(["--print", "findings"] + arguments, EXAMPLES)
                expected = []
                for line in view.decode().splitlines()[:-1]:
                    match = VIEW_LINE.fullmatch(line)
                    self.assertIsNotNone(match, line)
                    path, number, kind, name, text = match.groups()
                    expected.append((path, int(number or 0), kind.replace(" ", "-"),
                                     f"list {name}: {text}"))
                sarif_run = self.log(arguments, code, EXAMPLES)
                rules = [rule["id"] for rule in sarif_run["tool"]["driver"]["rules"]]
                got = []
                for result in sarif_run["results"]:
                    self.assertEqual(result["ruleId"], rules[result["ruleIndex"]])
                    [location] = result["locations"]
                    place = location["physicalLocation"]
                    got.append((place["artifactLocation"]["uri"],
                                place.get("region", {}).get("startLine", 0), result["ruleId"],
                                result["message"]["text"]))
                    for related in [location] + result.get("relatedLocations", []):
                        place = related["physicalLocation"]
                        if "region" in place:
                            lines = self.lines_of(place["artifactLocation"]["uri"], EXAMPLES)
                            self.assertLess(place["region"]["startLine"], len(lines))
                self.assertEqual(expected, got)
                self.assertTrue(kinds <= {result[2] for result in got}, got)

    def test_related_lines(self):
        """What hides a line, what repeats it and what decides a witness the
        other way are the related locations, in their own files."""
        self.write("cleanup.cfg", b"ip access-list extended EDGE\n permit tcp 10.1.0.0 0.0.255.255 any\n"
                   b" permit tcp 10.1.2.0 0.0.0.255 any eq 443\n permit tcp 10.2.0.0 0.0.0.127 any\n"
                   b" permit tcp 10.2.0.128 0.0.0.127 any\n permit tcp 10.2.0.0 0.0.0.255 any eq 80\n"
                   b" permit tcp host 10.4.0.1 any eq 22\n permit tcp 10.4.0.0 0.0.0.255 any\n")
        self.write("old.cfg", b"ip access-list extended EDGE\n deny tcp any host 192.0.2.10 eq 23\n"
                   b" permit tcp any host 192.0.2.10\n")
        self.write("new cfg \u00e9.cfg", b"ip access-list extended EDGE\n"
                   b" permit tcp any host 192.0.2.10 eq 23\n")

        def related(result):
            return [(r["physicalLocation"]["artifactLocation"]["uri"],
                     r["physicalLocation"]["region"]["startLine"], r["message"]["text"])
                    for r in result.get("relatedLocations", [])]

        results = self.log(["--within", "cleanup.cfg"], 1)["results"]
        self.assertEqual(
            [(3, [("cleanup.cfg", 2, "blocking")]),
             (6, [("cleanup.cfg", 4, "blocking"), ("cleanup.cfg", 5, "blocking")]),
             (7, [("cleanup.cfg", 8, "deciding")])],
            [(r["locations"][0]["physicalLocation"]["region"]["startLine"], related(r))
             for r in results])
        [result] = self.log(["--syntax", "full", "--cover", "list", "old.cfg", "new cfg \u00e9.cfg"],
                            1)["results"]
        self.assertEqual("new%20cfg%20%C3%A9.cfg",
                         result["locations"][0]["physicalLocation"]["artifactLocation"]["uri"])
        self.assertEqual([("old.cfg", 2, "deciding the witness otherwise")], related(result))
        results = self.log(["--diff", "old.cfg", "new cfg \u00e9.cfg"], 1)["results"]
        # Line 3's packets now reach the implicit deny, which is no line.
        self.assertEqual({"old.cfg": [], "new%20cfg%20%C3%A9.cfg": [("old.cfg", 2, "old deciding line")]},
                         {r["locations"][0]["physicalLocation"]["artifactLocation"]["uri"]:
                          related(r) for r in results})

    def write(self, name, data):
        with open(os.path.join(self.dir, name), "wb") as file:
            file.write(data)

    def test_many_settings_and_trouble(self):
        """The source config's findings come once; a pair in trouble is an
        error notification and the run did not succeed."""
        self.write("a.cfg", b"ip access-list extended A\n permit ip any any\n permit tcp any any\n"
                   b" permit tcpp any any\n\x83\x5c\n")
        self.write("b.cfg", b"ip access-list extended A\n permit tcp any any\n")
        sarif_run = self.log(["--within", "a.cfg", "b.cfg", "missing.cfg", "b.cfg"], 2)
        places = [(r["ruleId"], r["locations"][0]["physicalLocation"]["artifactLocation"]["uri"])
                  for r in sarif_run["results"]]
        self.assertEqual([("undecided", "a.cfg"), ("unreachable", "a.cfg"), ("not-read", "a.cfg")],
                         places)
        [invocation] = sarif_run["invocations"]
        self.assertFalse(invocation["executionSuccessful"])
        self.assertEqual(["missing.cfg: No such file or directory"],
                         [n["message"]["text"] for n in invocation["toolExecutionNotifications"]])
        self.assertTrue(self.log(["--within", "b.cfg"], 0)["invocations"][0]["executionSuccessful"])

    def test_refused_combinations(self):
        self.write("a.cfg", b"access-list 10 permit any\n")
        for arguments in (["--no-report", "--print", "findings", "a.cfg", "a.cfg"],
                          ["--trace", "tcp 10.0.0.1 10.0.0.2 80", "a.cfg"]):
            done = subprocess.run([DORVEX, "--format", "sarif"] + arguments, cwd=self.dir,
                                  capture_output=True, timeout=600)
            self.assertEqual((2, b""), (done.returncode, done.stdout), done.stderr)
            self.assertIn(b"--format sarif", done.stderr)

    def test_schema_rejects_broken_logs(self):
        """The schema really checks: a log the driver writes, broken in one
        place each, fails."""
        log = json.loads(run(["--format", "sarif", "--within", "source.cfg"], EXAMPLES)[1])
        breaks = [
            lambda log: log.pop("version"),
            lambda log: log["runs"][0]["tool"]["driver"].pop("name"),
            lambda log: log["runs"][0]["results"][0].update(level="severe"),
            lambda log: log["runs"][0]["results"][0]["locations"][0]["physicalLocation"]
            ["region"].update(startLine=0),
            lambda log: log["runs"][0]["results"][0].pop("message"),
        ]
        for number, damage in enumerate(breaks):
            broken = copy.deepcopy(log)
            damage(broken)
            self.assertNotEqual([], self.errors(broken), number)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
