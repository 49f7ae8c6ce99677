"""--format sarif of the built driver: every log valid against the SARIF 2.1.0
schema in tests/schemas, one result per finding of --print findings.
    sarif_output_test.py DORVEX SOURCE_DIR"""
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
EXAMPLES = os.path.join(SOURCES, "examples")
VIEW_LINE = re.compile(r"(.*?):(?:(\d+):)? ([a-z -]+?): ([^:]+): (.*)")
LIST = "ip access-list extended E\n permit "
CONFIGS = {"old.cfg": LIST + "tcp any host 192.0.2.1 eq 23\n permit tcp any any\n",
           "new \u00e9.cfg": LIST.replace("permit", "deny") + "tcp any host 192.0.2.1 eq 23\n",
           "hid.cfg": LIST + "ip any any\n permit tcp any any\n permit tcp 10.0.0.0 0.0.0.255 any\n"
                      " permit tcpp any any\n"}


def run(arguments, cwd):
    done = subprocess.run([DORVEX, "-q"] + arguments, cwd=cwd, capture_output=True, timeout=600)
    return done.returncode, done.stdout.decode(), done.stderr.decode()


def place(location):
    physical = location["physicalLocation"]
    return physical["artifactLocation"]["uri"], physical.get("region", {}).get("startLine", 0)


class SarifOutputTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(os.path.join(SOURCES, "tests", "schemas", "sarif-schema-2.1.0.json")) as file:
            cls.validator = jsonschema.Draft7Validator(json.load(file))
        cls.scratch = tempfile.TemporaryDirectory(prefix="dorvex-sarif-")
        cls.dir = cls.scratch.name
        for name, text in CONFIGS.items():
            with open(os.path.join(cls.dir, name), "w") as file:
                file.write(text)

    def errors(self, log):
        return [f"{list(e.absolute_path)}: {e.message}" for e in self.validator.iter_errors(log)]

    def log(self, arguments, cwd=None):
        code, out, err = run(["--no-report", "--format", "sarif"] + arguments, cwd or self.dir)
        [sarif_run] = json.loads(out)["runs"]
        self.assertEqual([], self.errors(json.loads(out)))
        self.assertEqual(("dorvex " + sarif_run["tool"]["driver"]["version"] + "\n", code),
                         (run(["--version"], EXAMPLES)[1], sarif_run["invocations"][0]["exitCode"]))
        return sarif_run

    def test_results_are_the_findings_view(self):
        pair, revision = ["source.cfg", "setting.cfg"], ["revision-old.cfg", "revision-new.cfg"]
        for arguments, cwd in ((["--cover", "list", "--within"] + pair, EXAMPLES),
                               (["--diff"] + revision, EXAMPLES),
                               (["--syntax", "full", "--cover", "list"] + revision, EXAMPLES),
                               (["--within", "hid.cfg"] + ["old.cfg", "missing.cfg"] * 2, None)):
            with self.subTest(arguments=arguments):
                view = run(["--no-report", "--print", "findings"] + arguments, cwd or self.dir)[1]
                expected = [(path, int(line or 0), kind.replace(" ", "-"), f"list {name}: {text}")
                            for path, line, kind, name, text in
                            (VIEW_LINE.fullmatch(line).groups() for line in view.splitlines()
                             if ": " in line and "status=" not in line)]
                sarif_run = self.log(arguments, cwd)
                rules = [rule["id"] for rule in sarif_run["tool"]["driver"]["rules"]]
                # A source config's findings come once however many setting configs.
                self.assertEqual(list(dict.fromkeys(expected)) or None,
                                 [place(r["locations"][0]) + (rules[r["ruleIndex"]],
                                                              r["message"]["text"])
                                  for r in sarif_run["results"]])

    def test_related_lines_and_trouble(self):
        def related(arguments):
            sarif_run = self.log(arguments)
            return [(place(r["locations"][0]), [place(l) + (l["message"]["text"],)
                                                for l in r.get("relatedLocations", [])])
                    for r in sarif_run["results"]], sarif_run["invocations"][0]
        results, invocation = related(["--within", "hid.cfg", "missing.cfg", "old.cfg"])
        # Line 2 is undecided for line 5, not read; 3 and 4 are hidden by 2.
        self.assertEqual([(("hid.cfg", n), [("hid.cfg", 2, "blocking")] if n in (3, 4) else [])
                          for n in range(2, 6)] + [(("old.cfg", 2), [("old.cfg", 3, "deciding")])],
                         results)
        self.assertEqual((False, ["missing.cfg: No such file or directory"]),
                         (invocation["executionSuccessful"],
                          [n["message"]["text"] for n in invocation["toolExecutionNotifications"]]))
        new, pair = ("new%20%C3%A9.cfg", 2), ["old.cfg", "new \u00e9.cfg"]
        self.assertEqual([(new, [("old.cfg", 2, "deciding the witness otherwise")])],
                         related(["--syntax", "full", "--cover", "list"] + pair)[0])
        self.assertEqual([(("old.cfg", 3), []), (new, [("old.cfg", 2, "old deciding line")])],
                         related(["--diff"] + pair)[0])

    def test_refused_and_broken(self):
        for arguments in (["--print", "findings"], ["--trace", "tcp 10.0.0.1 10.0.0.2 80"]):
            self.assertEqual((2, ""),
                             run(["--format", "sarif", "old.cfg"] + arguments, self.dir)[:2])
        log = json.loads(run(["--no-report", "--format", "sarif", "--within", "hid.cfg"],
                             self.dir)[1])
        for steps, key, value in (([], "version", None), ([1], "level", "severe"),
                                  ([1, "locations", 0, "physicalLocation", "region"], "startLine",
                                   0), ([1], "message", None)):
            holder = broken = copy.deepcopy(log)
            for step in (["runs", 0, "results"] if steps else []) + steps:
                holder = holder[step]
            holder.pop(key) if value is None else holder.update({key: value})
            self.assertNotEqual([], self.errors(broken), key)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
