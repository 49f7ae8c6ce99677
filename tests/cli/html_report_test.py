"""--html of the built driver, read by headless Chromium: counts, findings
(those of --print findings), links both ways, lines with marks in the page's
charset, nothing fetched, filters by kind with script and reads without; a
page of 10,000 rules loads and filters in time. A probe script appended to a
copy of the page reads it in the browser and leaves its answer in the DOM.
    html_report_test.py DORVEX CONFIG_PAIR SOURCE_DIR
DORVEX_HTML_SCREENSHOT=FILE.png also saves the examples' page as a picture."""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

DORVEX, CONFIG_PAIR, SOURCES = sys.argv[1:4]
EXAMPLES = os.path.join(SOURCES, "examples")
VIEW_LINE = re.compile(rb"(.*?):(?:(\d+):)? ([a-z -]+?): ([^:]+): (.*)")
SCREENSHOT = os.environ.get("DORVEX_HTML_SCREENSHOT")


def shown_as(data, encoding):
    """Configuration bytes as the page shows them: a byte not of `encoding`,
    and a control byte, as \\xNN."""
    return re.sub("[\x00-\x08\x0a-\x1f\x7f]", lambda m: "\\x%02x" % ord(m[0]),
                  data.decode(encoding, "backslashreplace"))


def chromium(*arguments):
    """Headless Chromium's stdout for `arguments`, in a profile of its own."""
    executable = shutil.which("chromium")
    assert executable, "chromium is not installed (Debian package chromium)"
    with tempfile.TemporaryDirectory(prefix="dorvex-chromium-") as profile:
        return subprocess.run([executable, "--headless", "--no-sandbox", "--disable-gpu",
                               "--user-data-dir=" + profile, "--window-size=1400,1000"] +
                              list(arguments), capture_output=True, timeout=600, check=True).stdout


# Reads the page as it stands once parsed and laid out, then unticks each
# kind's box and ticks it again, timing the untick with the style and layout
# it causes, and jumps to the last line.
PROBE = """<script>(() => {
  const laid = (document.body.offsetHeight, performance.now());  // from the start of the load
  const hrefs = nodes => Array.from(nodes, a => a.getAttribute("href"));
  const shown = () => Array.from(document.querySelectorAll("#findings li"))
      .filter(li => getComputedStyle(li).display !== "none").map(li => li.id);
  const page = {ids: Array.from(document.querySelectorAll("[id]"), e => e.id),
    links: hrefs(document.querySelectorAll("[href]")), charset: document.characterSet,
    fetches: document.querySelectorAll("[src], link, iframe, object, embed").length +
             performance.getEntriesByType("resource").length,
    counts: Object.fromEntries(Array.from(document.querySelectorAll("#counts tr[data-kind]"),
                                          r => [r.dataset.kind, Number(r.cells[1].textContent)])),
    total: Number(document.getElementById("total").textContent), load: laid, visible: shown(),
    rows: Array.from(document.querySelectorAll("pre"), pre => Array.from(pre.children, r => ({
      id: r.id, back: hrefs(r.querySelectorAll("a.b")), text: Array.from(r.childNodes)
          .filter(n => n.nodeName !== "A").map(n => n.textContent).join("")}))),
    findings: Array.from(document.querySelectorAll("#findings li"), li => ({
      id: li.id, kind: li.className.slice(2), place: li.querySelector(".loc").textContent,
      at: li.querySelector(".loc a") && li.querySelector(".loc a").getAttribute("href"),
      text: li.querySelector(".text").textContent})), filters: {}};
  document.querySelectorAll("#counts input").forEach(box => {
    const start = performance.now();
    box.click();
    document.body.offsetHeight;
    page.filters[box.parentNode.parentNode.dataset.kind] =
        {took: performance.now() - start, hidden: shown(), again: (box.click(), shown())};
  });
  const start = (document.body.offsetHeight, performance.now());
  location.hash = "#" + document.querySelector("pre").lastChild.id;
  page.jump = (document.body.offsetHeight, performance.now() - start);
  const answer = document.createElement("output");
  answer.id = "probe";
  answer.textContent = JSON.stringify(page);
  document.body.append(answer);
})()</script>"""


class HtmlReportTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = cls.enterClassContext(tempfile.TemporaryDirectory(prefix="dorvex-html-"))

    def probe(self, html):
        path = os.path.join(self.dir, "probe.html")
        with open(path, "wb") as file:
            file.write(html + PROBE.encode())
        dom = chromium("--dump-dom", "file://" + path)
        return json.loads(re.search(rb'<output id="probe">(.*?)</output>', dom, re.S)[1]
                          .replace(b"&lt;", b"<").replace(b"&gt;", b">").replace(b"&amp;", b"&"))

    def shown(self, arguments, cwd, encoding):
        """The page of `arguments` as Chromium shows it, checked as the
        module's description says."""
        path = os.path.join(self.dir, "page.html")
        out = {what: subprocess.run([DORVEX, "-q", "--no-report"] + options + arguments, cwd=cwd,
                                    capture_output=True, timeout=600).stdout
               for what, options in (("view", ["--html", path, "--print", "findings"]),
                                     ("summary", ["--print", "summary", "--print-raw"]))}
        with open(path, "rb") as file:
            html = file.read()
        # As the page is, and as a browser without script reads it.
        page, plain = (self.probe(text) for text in
                       (html, re.sub(rb"<script>.*?</script>", b"", html, flags=re.S)))
        self.assertEqual((encoding, 0), (page["charset"].lower(), page["fetches"]))
        ids = set(page["ids"])
        self.assertEqual(len(ids), len(page["ids"]))
        self.assertEqual([], [link for link in page["links"] if link[1:] not in ids])
        findings = page["findings"]
        kinds = [finding["kind"] for finding in findings]
        self.assertEqual({kind: kinds.count(kind) for kind in kinds}, page["counts"])
        self.assertEqual((len(findings), page["counts"].keys()),
                         (page["total"], page["filters"].keys()))
        for kind, filtered in page["filters"].items():
            self.assertEqual(([f["id"] for f in findings if f["kind"] != kind],
                              [f["id"] for f in findings]), (filtered["hidden"], filtered["again"]))
        view = [VIEW_LINE.fullmatch(line).groups() for line in out["view"].split(b"\n")[:-2]]
        self.assertEqual([(shown_as(p + b":" + n if n else p, encoding),
                           k.decode().replace(" ", "-"), shown_as(t, encoding))
                          for p, n, k, _, t in view],
                         [(f["place"], f["kind"], f["text"]) for f in findings])
        # A finding and its line link to each other.
        rows = {row["id"]: row for pre in page["rows"] for row in pre}
        self.assertEqual(["f%d" % n for n in range(1, len(findings) + 1)],
                         [f["id"] for f in findings])
        self.assertEqual([], [f for f in findings
                              if f["at"] and "#" + f["id"] not in rows[f["at"][1:]]["back"]])
        self.assertEqual([], [row for row in rows.values() for back in row["back"]
                              if findings[int(back[2:]) - 1]["at"] != "#" + row["id"]])
        # Each line as its summary line has it: number, marks, text.
        summary = iter(out["summary"].split(b"\r\n"))
        for pre in page["rows"]:
            for row in pre:
                number, marks, text = next(summary).split(b":", 2)
                self.assertEqual("%*d %s %s" % (len(str(len(pre))), int(number), marks.decode(),
                                                shown_as(text.rstrip(b"\r"), encoding)),
                                 row["text"])
        self.assertEqual(([f["id"] for f in findings], {}), (plain["visible"], plain["filters"]))
        return page

    def test_pages_of_each_mode(self):
        for name, data in (("old.cfg", b"ip access-list extended E\n remark <b>&amp;\"q\"</b>\n"
                                       b" deny tcp any host 192.0.2.1 eq 23\n"),
                           ("new.cfg", b"ip access-list extended E\n permit tcp any any eq 23\n"
                                       b" permit tcp any any\n permit tcpp any any\n"),
                           # A name whose second bytes are "\" and "|".
                           ("sjis.cfg", b"! \x95\x5c\x8e\xa6\r\nip access-list extended "
                                        b"\x83\x5c\x83\x7c\r\n permit ip any any\r\n"
                                        b" deny ip any any\r\n"),
                           ("bytes.cfg", b"! caf\xc3\xa9 \xff\x01\nip access-list extended A\n"
                                         b" permit ip any any\n deny ip any any\n")):
            with open(os.path.join(self.dir, name), "wb") as file:
                file.write(data)
        for arguments, cwd, encoding in (
                (["--cover", "list", "--within", "source.cfg", "setting.cfg"], EXAMPLES, "utf-8"),
                (["--diff", "revision-old.cfg", "revision-new.cfg"], EXAMPLES, "utf-8"),
                (["--cover", "list", "--within", "old.cfg", "new.cfg"], self.dir, "utf-8"),
                (["--within", "sjis.cfg"], self.dir, "shift_jis"),
                (["--within", "bytes.cfg"], self.dir, "utf-8")):
            with self.subTest(arguments=arguments):
                self.assertTrue(self.shown(arguments, cwd, encoding)["findings"])
                if cwd == EXAMPLES and "--within" in arguments and SCREENSHOT:
                    chromium("--screenshot=" + SCREENSHOT, "file://" + self.dir + "/page.html")

    def test_a_list_of_10000_rules_stays_responsive(self):
        """One list of 10,000 rules alone, and a pair of 10,000 rules in 300
        lists each (a finding on every third line), timed by the browser."""
        for shape, arguments in (("rules=10000,one", ["--within", "t.cfg"]),
                                 ("rules=10000,many", ["--within", "s.cfg", "t.cfg"])):
            subprocess.run([CONFIG_PAIR, shape, "s.cfg", "t.cfg"], cwd=self.dir, check=True)
            page = self.shown(arguments, self.dir, "utf-8")
            kind = max(page["counts"], key=page["counts"].get)
            times = (page["load"], page["filters"][kind]["took"], page["jump"])
            print("%s: %d findings, %d bytes: load %.0f ms, filter %.0f ms, jump %.0f ms"
                  % ((shape, page["total"], os.path.getsize(self.dir + "/page.html")) + times),
                  file=sys.stderr)
            # Far above what a busy machine takes: what a person would call stuck.
            self.assertTrue(all(t < limit for t, limit in zip(times, (60000, 15000, 15000))), times)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
