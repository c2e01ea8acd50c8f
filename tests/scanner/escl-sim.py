#!/usr/bin/env python3
"""A network scanner speaking eSCL on 127.0.0.1, for tests through sane-airscan.

Prints "port N" once it listens, then one line per event:

    event job id=J source=Feeder mode=RGB24 res=100 width=827 height=1169 duplex=0 t=T
    event sent sheet=K t=T        (the last byte of that image has been written)
    event empty t=T               (NextDocument found the feeder empty: 404)
    event jam sheet=K status=409 t=T
    event dropped sheet=K t=T     (connection closed half-way through the image)
    event aborted sheet=K t=T     (the job was deleted while the sheet was fed)
    event delete id=J t=T

T is the wall clock (seconds since the epoch), so a test on the same machine
can compare it with its own clock. K counts the images of the job (a duplex
sheet gives two), and each is told apart by its colour: image K is filled with
RGB (25 K, 255 - 25 K, 100).

Each line on stdin of the form "config <flags>" replaces the settings (same
flags as the command line), drops any running job and answers
"configured <flags>". End of stdin ends the simulator, so it never outlives
the test that started it.
"""

import argparse
import io
import shlex
import sys
import threading
import time
import uuid
import xml.etree.ElementTree as ET
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

try:
    from PIL import Image
except ImportError:
    print("escl-sim: python3-pil (PIL) is missing", file=sys.stderr, flush=True)
    sys.exit(3)

RESOLUTIONS = (75, 100, 150, 200, 300, 600)
# In 1/300 inch, as eSCL counts: US Letter wide, A4 tall.
MAX_WIDTH = 2550
MAX_HEIGHT = 3508
MODES = ("RGB24", "Grayscale8", "BlackAndWhite1")

NS_SCAN = "http://schemas.hp.com/imaging/escl/2011/05/03"
NS_PWG = "http://www.pwg.org/schemas/2010/12/sm"


def parse_flags(argv):
    p = argparse.ArgumentParser(prog="escl-sim", description="eSCL scanner simulator")
    p.add_argument("--port", type=int, default=0, help="0: any free port")
    p.add_argument("--sheets", type=int, default=5, help="sheets in the feeder")
    p.add_argument("--seconds", type=float, default=0.0,
                   help="time to feed one sheet: NextDocument answers that late")
    p.add_argument("--jam-at", type=int, default=0, help="the feeder jams at this sheet")
    p.add_argument("--jam-status", type=int, default=409, choices=(409, 503),
                   help="HTTP status of NextDocument at the jam")
    p.add_argument("--drop-at", type=int, default=0,
                   help="close the connection half-way through this sheet's image")
    return p.parse_args(argv)


out_lock = threading.Lock()


def say(line):
    with out_lock:
        sys.stdout.write(line + "\n")
        sys.stdout.flush()


def event(name, **fields):
    parts = ["event", name] + ["%s=%s" % kv for kv in fields.items()]
    parts.append("t=%.6f" % time.time())
    say(" ".join(parts))


def sheet_colour(sheet):
    return (min(255, 25 * sheet), max(0, 255 - 25 * sheet), 100)


def caps_xml():
    res = "".join(
        "<scan:DiscreteResolution><scan:XResolution>%d</scan:XResolution>"
        "<scan:YResolution>%d</scan:YResolution></scan:DiscreteResolution>" % (r, r)
        for r in RESOLUTIONS)
    modes = "".join("<scan:ColorMode>%s</scan:ColorMode>" % m for m in MODES)
    source = (
        "<scan:MinWidth>16</scan:MinWidth><scan:MaxWidth>%d</scan:MaxWidth>"
        "<scan:MinHeight>16</scan:MinHeight><scan:MaxHeight>%d</scan:MaxHeight>"
        "<scan:MaxScanRegions>1</scan:MaxScanRegions>"
        "<scan:SettingProfiles><scan:SettingProfile>"
        "<scan:ColorModes>%s</scan:ColorModes>"
        "<scan:DocumentFormats><pwg:DocumentFormat>image/jpeg</pwg:DocumentFormat>"
        "<scan:DocumentFormatExt>image/jpeg</scan:DocumentFormatExt></scan:DocumentFormats>"
        "<scan:SupportedResolutions><scan:DiscreteResolutions>%s"
        "</scan:DiscreteResolutions></scan:SupportedResolutions>"
        "</scan:SettingProfile></scan:SettingProfiles>" % (MAX_WIDTH, MAX_HEIGHT, modes, res))
    return (
        '<?xml version="1.0" encoding="UTF-8"?>'
        '<scan:ScannerCapabilities xmlns:scan="%s" xmlns:pwg="%s">'
        "<pwg:Version>2.63</pwg:Version>"
        "<pwg:MakeAndModel>Pagora eSCL Simulator</pwg:MakeAndModel>"
        "<pwg:SerialNumber>SIM0001</pwg:SerialNumber>"
        "<scan:Platen><scan:PlatenInputCaps>%s</scan:PlatenInputCaps></scan:Platen>"
        "<scan:Adf><scan:AdfSimplexInputCaps>%s</scan:AdfSimplexInputCaps>"
        "<scan:AdfDuplexInputCaps>%s</scan:AdfDuplexInputCaps>"
        "<scan:FeederCapacity>50</scan:FeederCapacity></scan:Adf>"
        "</scan:ScannerCapabilities>" % (NS_SCAN, NS_PWG, source, source, source)).encode()


class Job:
    def __init__(self, settings):
        self.id = uuid.uuid4().hex
        self.feeder = settings["source"] != "Platen"
        self.duplex = self.feeder and settings["duplex"]
        self.mode = settings["mode"]
        self.res = settings["res"]
        self.width = max(1, round(settings["width"] * self.res / 300))
        self.height = max(1, round(settings["height"] * self.res / 300))
        self.images = 0  # delivered so far
        self.ended = False
        self.deleted = threading.Event()

    def image(self, sheet):
        page = Image.new("RGB", (self.width, self.height), sheet_colour(sheet))
        if self.mode == "Grayscale8":
            page = page.convert("L")
        elif self.mode == "BlackAndWhite1":
            # JPEG has no 1-bit kind: pure black and white in 8 bits.
            page = page.convert("L").point(lambda v: 255 if v >= 128 else 0)
        buf = io.BytesIO()
        page.save(buf, "JPEG", quality=90, dpi=(self.res, self.res))
        return buf.getvalue()


class Scanner:
    """The device's state; every handler thread goes through the lock."""

    def __init__(self, flags):
        self.lock = threading.Lock()
        self.configure(flags)

    def configure(self, flags):
        with self.lock:
            for job in getattr(self, "jobs", {}).values():
                job.ended = True
                job.deleted.set()
            self.flags = flags
            self.sheets_left = flags.sheets
            self.jammed = False
            self.busy = 0
            self.jobs = {}

    def status_xml(self):
        with self.lock:
            state = "Processing" if self.busy else "Idle"
            if self.jammed:
                adf = "ScannerAdfJam"
            elif self.sheets_left > 0:
                adf = "ScannerAdfLoaded"
            else:
                adf = "ScannerAdfEmpty"
        return ('<?xml version="1.0" encoding="UTF-8"?>'
                '<scan:ScannerStatus xmlns:scan="%s" xmlns:pwg="%s">'
                "<pwg:Version>2.63</pwg:Version><pwg:State>%s</pwg:State>"
                "<scan:AdfState>%s</scan:AdfState></scan:ScannerStatus>"
                % (NS_SCAN, NS_PWG, state, adf)).encode()


def local(tag):
    return tag.rsplit("}", 1)[-1]


def parse_settings(body):
    root = ET.fromstring(body)
    values = {}
    for el in root.iter():
        values.setdefault(local(el.tag), (el.text or "").strip())

    def number(name, default):
        try:
            return int(values.get(name, default))
        except ValueError:
            return default

    return {
        "source": values.get("InputSource", "Platen"),
        "mode": values.get("ColorMode", "RGB24"),
        "res": number("XResolution", 300),
        "width": number("Width", MAX_WIDTH),
        "height": number("Height", MAX_HEIGHT),
        "duplex": values.get("Duplex", "false").lower() == "true",
    }


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    scanner = None  # set before serving

    def log_message(self, fmt, *args):
        pass  # stdout belongs to the event lines

    def reply(self, code, body=b"", ctype="text/xml", headers=()):
        try:
            self.send_response(code)
            self.send_header("Content-Type", ctype)
            self.send_header("Content-Length", str(len(body)))
            for k, v in headers:
                self.send_header(k, v)
            self.end_headers()
            if body:
                self.wfile.write(body)
            self.wfile.flush()
            return True
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True
            return False

    def do_GET(self):
        path = self.path.split("?", 1)[0]
        if path == "/eSCL/ScannerCapabilities":
            self.reply(200, caps_xml())
        elif path == "/eSCL/ScannerStatus":
            self.reply(200, self.scanner.status_xml())
        elif path.startswith("/eSCL/ScanJobs/") and path.endswith("/NextDocument"):
            self.next_document(path.split("/")[3])
        else:
            self.reply(404)

    def do_POST(self):
        length = int(self.headers.get("Content-Length", 0))
        body = self.rfile.read(length)
        if self.path.split("?", 1)[0] != "/eSCL/ScanJobs":
            self.reply(404)
            return
        try:
            settings = parse_settings(body)
        except ET.ParseError:
            self.reply(400)
            return
        s = self.scanner
        with s.lock:
            if s.jammed:
                conflict = True
            else:
                conflict = False
                job = Job(settings)
                s.jobs[job.id] = job
        if conflict:
            self.reply(409)
            return
        event("job", id=job.id, source=settings["source"], mode=job.mode, res=job.res,
              width=job.width, height=job.height, duplex=int(job.duplex))
        self.reply(201, headers=[("Location", "/eSCL/ScanJobs/" + job.id)])

    def do_DELETE(self):
        parts = self.path.split("?", 1)[0].split("/")
        job_id = parts[3] if len(parts) > 3 and parts[1:3] == ["eSCL", "ScanJobs"] else ""
        s = self.scanner
        with s.lock:
            job = s.jobs.pop(job_id, None)
            if job:
                job.ended = True
                job.deleted.set()
        if job:
            event("delete", id=job_id)
        self.reply(200 if job else 404)

    def next_document(self, job_id):
        s = self.scanner
        empty = False
        with s.lock:
            job = s.jobs.get(job_id)
            flags = s.flags
            if job is None or job.ended:
                job = None
            elif not job.feeder:
                if job.images > 0:
                    job.ended = True
                    job = None
            else:
                if s.sheets_left <= 0 and not (job.duplex and job.images % 2 == 1):
                    job.ended = True
                    job = None
                    empty = True
                else:
                    # A duplex sheet gives its front and back; both count as images.
                    if not job.duplex or job.images % 2 == 0:
                        s.sheets_left -= 1
            if job is not None:
                # Taken now: the driver may ask for the next one as soon as it has
                # this one's last byte, before this thread gets the lock again.
                job.images += 1
                sheet = job.images
                s.busy += 1
        if job is None:
            if empty:
                event("empty")
            self.reply(404)
            return
        try:
            self.feed(job, sheet, flags)
        finally:
            with s.lock:
                s.busy -= 1

    def feed(self, job, sheet, flags):
        s = self.scanner
        if flags.seconds > 0 and job.deleted.wait(flags.seconds):
            event("aborted", sheet=sheet)
            self.reply(404)
            return
        if job.feeder and sheet == flags.jam_at:
            with s.lock:
                s.jammed = True
                job.ended = True
            event("jam", sheet=sheet, status=flags.jam_status)
            self.reply(flags.jam_status)
            return
        data = job.image(sheet)
        if job.feeder and sheet == flags.drop_at:
            try:
                self.send_response(200)
                self.send_header("Content-Type", "image/jpeg")
                self.send_header("Content-Length", str(len(data)))
                self.end_headers()
                self.wfile.write(data[: len(data) // 2])
                self.wfile.flush()
            except (BrokenPipeError, ConnectionResetError):
                pass
            with s.lock:
                job.ended = True
            self.close_connection = True
            event("dropped", sheet=sheet)
            return
        if self.reply(200, data, "image/jpeg"):
            event("sent", sheet=sheet)
        else:
            event("aborted", sheet=sheet)


def read_commands(scanner, server):
    for line in sys.stdin:
        words = shlex.split(line)
        if not words:
            continue
        if words[0] == "config":
            try:
                flags = parse_flags(words[1:])
            except SystemExit:
                say("error bad flags: " + line.strip())
                continue
            scanner.configure(flags)
            say("configured " + " ".join(words[1:]))
        elif words[0] == "quit":
            break
    server.shutdown()


def main():
    flags = parse_flags(sys.argv[1:])
    scanner = Scanner(flags)
    Handler.scanner = scanner
    server = ThreadingHTTPServer(("127.0.0.1", flags.port), Handler)
    server.daemon_threads = True
    say("port %d" % server.server_address[1])
    threading.Thread(target=read_commands, args=(scanner, server), daemon=True).start()
    server.serve_forever(poll_interval=0.1)
    server.server_close()


if __name__ == "__main__":
    main()
