"""The JSON output of the built console driver (--format json): every
document the cases below produce must validate against
docs/json-output.schema.json, say the same as the text outputs of the same
pair (marks, annotations, details lines, counts), keep every byte of text
that is not UTF-8 in its "bytes" member, and the example in
docs/json-output.md must be what the driver prints for its files.

    json_output_test.py DORVEX CONFIG_PAIR SOURCE_DIR

DORVEX is the built driver, CONFIG_PAIR the generator of configuration
pairs (bench/write_config_pair.cpp), SOURCE_DIR the top of the sources.
"""
import base64
import json
import os
import random
import re
import subprocess
import sys
import tempfile
import unittest

import jsonschema

DORVEX, CONFIG_PAIR, SOURCES = sys.argv[1:4]
SCHEMA_PATH = os.path.join(SOURCES, "docs", "json-output.schema.json")
DOC_PATH = os.path.join(SOURCES, "docs", "json-output.md")
EXAMPLE_DIR = os.path.join(SOURCES, "docs", "json-example")


def run(arguments, cwd):
    """Runs the driver; returns (exit status, stdout bytes, stderr bytes)."""
    done = subprocess.run([DORVEX, "-q"] + arguments, cwd=cwd, capture_output=True,
                          timeout=600)
    return done.returncode, done.stdout, done.stderr


def replaced(data):
    """`data` as the driver's "text" members give it: each byte that is no
    part of a valid UTF-8 sequence becomes U+FFFD. Validity is Python's
    strict decoder's, tried on one character at a time."""
    text, at = [], 0
    while at < len(data):
        for length in (1, 2, 3, 4):
            try:
                char = data[at:at + length].decode("utf-8")
            except UnicodeDecodeError:
                continue
            if len(char) == 1:
                text.append(char)
                at += length
                break
        else:
            text.append("\ufffd")
            at += 1
    return "".join(text)


def is_utf8(data):
    try:
        data.decode("utf-8")
    except UnicodeDecodeError:
        return False
    return True


def exact(holder, key, bytes_key):
    """The exact bytes of the string `holder[key]`: its "bytes" member, given
    just when they are not UTF-8, or else the string itself."""
    if bytes_key in holder:
        data = base64.b64decode(holder[bytes_key], validate=True)
        assert not is_utf8(data), (key, data)
        assert replaced(data) == holder[key], (holder[key], data)
        return data
    return holder[key].encode("utf-8")


class JsonOutputTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(SCHEMA_PATH, encoding="utf-8") as file:
            schema = json.load(file)
        jsonschema.Draft7Validator.check_schema(schema)
        cls.validator = jsonschema.Draft7Validator(schema)

    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory(prefix="dorvex-json-")
        self.dir = self.scratch.name

    def tearDown(self):
        self.scratch.cleanup()

    def write(self, name, data):
        with open(os.path.join(self.dir, os.fsdecode(name)), "wb") as file:
            file.write(data)

    def document(self, arguments, status, cwd=None):
        """Runs the driver with --format json; checks its exit status and that
        stdout is one valid document; returns it."""
        code, out, err = run(["--format", "json"] + arguments, cwd or self.dir)
        self.assertEqual(status, code, err)
        self.assertTrue(out.endswith(b"}\n"), out[-40:])
        document = json.loads(out)
        errors = sorted(self.validator.iter_errors(document), key=str)
        self.assertEqual([], [f"{list(e.absolute_path)}: {e.message}" for e in errors])
        self.assertEqual(status, document["exit_status"])
        self.assertEqual(status, max(check["exit_status"] for check in document["checks"]))
        return document

    def text_outputs(self, source, setting):
        """The summary, analysis and details of the pair, as the text outputs
        print them."""
        outputs = {}
        for what in ("summary", "analysis", "details"):
            code, out, err = run(["--no-report", "--print", what, "--print-raw", source, setting],
                                 self.dir)
            self.assertIn(code, (0, 1), err)
            outputs[what] = out
        return outputs

    def cross_check(self, check, source, setting):
        """The JSON of a checked pair says what the text outputs say."""
        outputs = self.text_outputs(source, setting)
        summary = outputs["summary"].split(b"\r\n")
        analysis = outputs["analysis"].split(b"\r\n")
        for side in ("source", "setting"):
            config = check[side]
            lines = config["lines"]
            self.assertEqual(config["line_count"], len(lines))
            self.assertEqual(list(range(1, len(lines) + 1)), [line["number"] for line in lines])
            marks = "".join(line["marks"] for line in lines)
            for letter in "EUDO":
                self.assertEqual(config["counts"][letter], marks.count(letter), side)
            # A rule read is annotated "... OK" and is no list opening.
            rules = [line for line in lines if "E" not in line["marks"] and
                     line["annotation"].endswith(" OK") and
                     not line["annotation"].startswith("ip access-list ")]
            self.assertEqual(config["counts"]["rules_read"], len(rules), side)
            for line in lines:
                listed = re.fullmatch(rb"(\d+):([EUDO-]{4}):(.*)", summary.pop(0), re.S)
                annotated = re.fullmatch(rb"(\d+): (.*)", analysis.pop(0), re.S)
                self.assertEqual(line["number"], int(listed[1]))
                self.assertEqual(line["marks"].encode(), listed[2])
                text = listed[3][:-1] if listed[3].endswith(b"\r") else listed[3]
                self.assertEqual(text, exact(line, "text", "bytes"))
                self.assertEqual(line["number"], int(annotated[1]))
                self.assertEqual(annotated[2], exact(line, "annotation", "annotation_bytes"))
        self.assertEqual([b""], summary)
        self.assertEqual([b""], analysis)

        details = outputs["details"].split(b"\r\n")
        self.assertEqual(b"", details.pop())
        self.assertEqual(len(details), check["duplicate_count"])
        self.assertEqual(len(details), len(check["duplicates"]))
        for detail, pair in zip(details, check["duplicates"]):
            standard = re.fullmatch(rb" ACL=(\S+) source row=(\d+) set row=(\d+)", detail)
            extended = re.fullmatch(
                rb" ACL=(\S+) source-row=(\d+) setting-row=(\d+) ((?:option-word=\S+ )*)", detail)
            match = standard or extended
            self.assertIsNotNone(match, detail)
            self.assertEqual(pair["list"]["kind"], "standard" if standard else "extended")
            self.assertEqual(int(match[2]), pair["source"]["line"])
            self.assertEqual(int(match[3]), pair["setting"]["line"])
            if "number" in pair["list"]:
                self.assertEqual(str(pair["list"]["number"]).encode(), match[1])
            elif extended:
                self.assertEqual(match[1], exact(pair["list"], "name", "name_bytes"))
            words = re.findall(rb"option-word=(\S+) ", extended[4]) if extended else []
            if "option_words_bytes" in pair:
                exact_words = [base64.b64decode(w) for w in pair["option_words_bytes"]]
                self.assertEqual([replaced(w) for w in exact_words], pair["option_words"])
            else:
                exact_words = [w.encode() for w in pair["option_words"]]
            self.assertEqual(words, exact_words)
            for side in ("source", "setting"):
                line = check[side]["lines"][pair[side]["line"] - 1]
                self.assertEqual(exact(line, "text", "bytes"), exact(pair[side], "text", "bytes"))
                self.assertIn("D", line["marks"])

    def test_doc_example_is_real(self):
        with open(DOC_PATH, encoding="utf-8") as file:
            doc = file.read()
        blocks = re.findall(r"```json\n(.*?)```", doc, re.S)
        self.assertEqual(1, len(blocks))
        shown = json.loads(blocks[0])
        printed = self.document(["--no-report", "source.cfg", "setting.cfg"], 1, EXAMPLE_DIR)
        shown["version"] = printed["version"]
        self.assertEqual(shown, printed)
        self.cross_check(printed["checks"][0], os.path.join(EXAMPLE_DIR, "source.cfg"),
                         os.path.join(EXAMPLE_DIR, "setting.cfg"))

    def test_examples_with_their_report(self):
        source = os.path.join(SOURCES, "examples", "source.cfg")
        setting = os.path.join(SOURCES, "examples", "setting.cfg")
        document = self.document(["--report", "r.txt", source, setting], 1)
        check = document["checks"][0]
        self.assertEqual("r.txt", check["report"])
        self.assertTrue(os.path.isfile(os.path.join(self.dir, "r.txt")))
        self.assertEqual(source, check["source"]["file"])
        self.cross_check(check, source, setting)

    def test_generated_pair_with_edge_cases(self):
        source, setting = (os.path.join(self.dir, name) for name in ("s.cfg", "t.cfg"))
        subprocess.run([CONFIG_PAIR, "rules=2000,many,edgeCases=1,seed=7", source, setting],
                       check=True)
        document = self.document(["--no-report", source, setting], 1)
        self.cross_check(document["checks"][0], source, setting)

    def test_list_cover_verdicts(self):
        """Every setting rule read has one verdict, whose kind its details
        line says, and the source lines it names decide packets of it."""
        source, setting = (os.path.join(self.dir, name) for name in ("s.cfg", "t.cfg"))
        subprocess.run([CONFIG_PAIR, "rules=1500,many,edgeCases=1,seed=3", source, setting],
                       check=True)
        arguments = ["--no-report", "--syntax", "full", "--cover", "list", source, setting]
        check = self.document(arguments, 1)["checks"][0]
        verdicts = check["verdicts"]
        self.assertEqual(check["setting"]["counts"]["rules_read"], len(verdicts))
        kinds = {verdict["verdict"] for verdict in verdicts}
        self.assertTrue({"covered", "not-covered"} <= kinds, kinds)
        self.assertEqual(sum(v["verdict"] == "covered" for v in verdicts), check["duplicate_count"])
        code, details, err = run(["-q", "--print", "details"] + arguments, self.dir)
        lines = details.split(b"\r\n")[:-1]
        for verdict in verdicts:
            row = b"setting-row=%d " % verdict["setting_line"]
            mine = [line for line in lines if row in line]
            if verdict["verdict"] == "covered":
                self.assertEqual(len(verdict["deciding_lines"]), len(mine))
            else:
                self.assertEqual(1, len(mine), verdict)
                word = {"not-covered": b"not-covered", "undecided": b"undecided",
                        "no-source-list": b"no-source-list",
                        "unreachable": b"unreachable"}[verdict["verdict"]]
                self.assertIn(word, mine[0])

    def test_within_one_configuration_and_a_pair(self):
        """Each flagged line of the within analysis has its details line, for
        one configuration alone and for both of a pair."""
        source, setting = (os.path.join(self.dir, name) for name in ("s.cfg", "t.cfg"))
        subprocess.run([CONFIG_PAIR, "rules=800,many,edgeCases=1,seed=5", source, setting],
                       check=True)
        for configs in ([source], [source, setting]):
            arguments = ["--no-report", "--within"] + configs
            check = self.document(arguments, 1)["checks"][0]
            code, details, err = run(["-q", "--print", "report"] + arguments, self.dir)
            self.assertEqual(1, code, err)
            for side in ("source", "setting"):
                if check[side] is None:
                    self.assertEqual([source], configs)
                    continue
                findings = check[side]["within"]
                self.assertTrue(findings)
                for finding in findings:
                    line = b"config=%s row=%d %s" % (side.encode(), finding["line"],
                                                     finding["kind"].encode())
                    self.assertIn(line, details)

    def test_where_lists_are_used(self):
        """The example that says where its lists are used: its unused list,
        its use of a list not defined, and where a flagged line's list is
        used."""
        config = os.path.join(SOURCES, "examples", "real", "site-gateway.cfg")
        within = self.document(["--no-report", "--within", config], 1)["checks"][0]["source"][
            "within"]
        faults = [(f["kind"], f["list"], f["line"]) for f in within if "safe_to_remove" not in f]
        self.assertIn(("unused-list", {"kind": "extended", "name": "OLD-PARTNER"}, 80), faults)
        self.assertIn(("undefined-reference", {"kind": "ipv4", "name": "GUEST-IN"}, 26), faults)
        [hidden] = [f for f in within if f["list"].get("name") == "OUTSIDE-IN"
                    and f["kind"] == "unreachable"]
        self.assertEqual([{"kind": "interface", "name": "Ethernet0/0", "direction": "in",
                           "line": 12, "filters_packets": True}], hidden["uses"])

    def test_shift_jis_bytes_survive(self):
        name = b"\x83\x5c\x83\x7c"  # two katakana, the second bytes "\" and "|"
        comment = b"! \x95\x5c\x8e\xa6 comment \x83\x7c\x81\x5c"
        source = b"\r\n".join([comment, b"ip access-list extended " + name,
                               b" permit tcp any any eq www " + name, b""])
        setting = b"\n".join([b"ip access-list extended " + name,
                              b" permit tcp any host 10.1.1.1 eq www " + name, b""])
        source_name = b"\x8c\xb3.cfg"
        self.write(source_name, source)
        self.write(b"setting.cfg", setting)
        document = self.document(["--no-report", os.fsdecode(source_name), "setting.cfg"], 1)
        check = document["checks"][0]
        self.assertEqual(source_name, exact(check["source"], "file", "file_bytes"))
        lines = check["source"]["lines"]
        self.assertEqual([comment, b"ip access-list extended " + name,
                          b" permit tcp any any eq www " + name],
                         [exact(line, "text", "bytes") for line in lines])
        self.assertIn("bytes", lines[0])
        self.assertTrue(lines[0]["text"].startswith("! \ufffd\\"))
        [pair] = check["duplicates"]
        self.assertEqual(name, exact(pair["list"], "name", "name_bytes"))
        self.assertEqual([name], [base64.b64decode(w) for w in pair["option_words_bytes"]])
        self.cross_check(check, os.path.join(self.dir, os.fsdecode(source_name)),
                         os.path.join(self.dir, "setting.cfg"))

    def test_any_bytes_keep_their_value(self):
        generator = random.Random(11)
        pieces = [b"\xc3\xa9", b"\xe6\x97\xa5", b"\xf0\x9f\x98\x80", b"\xc0\xaf", b"\xe0\x80\xaf",
                  b"\xed\xa0\x80", b"\xf4\x90\x80\x80", b"\xe3\x81", b"\xff", b"\x80", b"a", b" "]
        lines = []
        for _ in range(400):
            line = b"".join(generator.choice(pieces) if generator.random() < 0.7
                            else bytes([generator.randrange(1, 256)])
                            for _ in range(generator.randrange(0, 12)))
            lines.append(line.replace(b"\n", b"").replace(b"\r", b""))
        self.write("bytes.cfg", b"\n".join(lines) + b"\n")
        document = self.document(["--no-report", "bytes.cfg", "bytes.cfg"], 0)
        for side in ("source", "setting"):
            printed = document["checks"][0][side]["lines"]
            self.assertEqual(lines, [exact(line, "text", "bytes") for line in printed])
            for data, line in zip(lines, printed):
                self.assertEqual(replaced(data), line["text"])
                self.assertEqual(not is_utf8(data), "bytes" in line)

    def test_many_setting_configs_some_failing(self):
        self.write("a.cfg", b"access-list 10 permit any\n")
        self.write("b.cfg", b"access-list 10 permit host 10.1.1.1\n")
        self.write("c.cfg", b"access-list 10 deny any\n")
        self.write("empty.cfg", b"")
        os.mkdir(os.path.join(self.dir, "out"))
        document = self.document(["-o", "out", "a.cfg", "b.cfg", "missing.cfg", "c.cfg",
                                  "empty.cfg"], 2)
        checks = document["checks"]
        self.assertEqual(["b.cfg", "missing.cfg", "c.cfg", "empty.cfg"],
                         [check["setting"]["file"] for check in checks])
        self.assertEqual([1, 2, 0, 2], [check["exit_status"] for check in checks])
        self.assertEqual("missing.cfg: No such file or directory", checks[1]["error"])
        self.assertEqual("empty.cfg: no configuration text (the file is empty)",
                         checks[3]["error"])
        reports = [check["report"] for check in checks if check["report"]]
        self.assertEqual(2, len(set(reports)))
        self.assertEqual(sorted(os.path.basename(r) for r in reports),
                         sorted(os.listdir(os.path.join(self.dir, "out"))))
        for check in (checks[0], checks[2]):
            self.cross_check(check, "a.cfg", check["setting"]["file"])

        document = self.document(["--no-report", "missing.cfg", "a.cfg", "b.cfg"], 2)
        self.assertEqual(["missing.cfg: No such file or directory"] * 2,
                         [check["error"] for check in document["checks"]])

    def test_report_that_cannot_be_written(self):
        self.write("a.cfg", b"access-list 10 permit any\n")
        self.write("r.txt", b"old")
        document = self.document(["--report", "r.txt", "a.cfg", "a.cfg"], 2)
        [check] = document["checks"]
        self.assertIsNone(check["report"])
        self.assertEqual("Result File could not open: r.txt: File exists (--force replaces it)",
                         check["error"])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
