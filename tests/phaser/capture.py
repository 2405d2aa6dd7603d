#!/usr/bin/env python3
# Usage: capture.py FOLDER PAGE OUTPUT. Serves FOLDER on 127.0.0.1, opens PAGE in headless Chromium
# and writes the PNG picture that the page posts back as a data URL to OUTPUT.
import base64, functools, http.server, os, signal, subprocess, sys, tempfile, threading

folder, page, output = sys.argv[1:4]
answer, answered = {}, threading.Event()


class Handler(http.server.SimpleHTTPRequestHandler):
    def do_POST(self):
        answer['body'] = self.rfile.read(int(self.headers['Content-Length'])).decode()
        self.send_response(200)
        self.end_headers()
        answered.set()

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), functools.partial(Handler, directory=folder))
threading.Thread(target=server.serve_forever, daemon=True).start()
with tempfile.TemporaryDirectory(ignore_cleanup_errors=True) as profile:
    browser = subprocess.Popen(['chromium', '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
                                '--user-data-dir=' + profile, f'http://127.0.0.1:{server.server_port}/{page}'],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    answered.wait(240)
    os.killpg(browser.pid, signal.SIGKILL)  # the browser and every helper process it started
    browser.wait()
server.shutdown()
body = answer.get('body', 'error: no answer from the page')
if not body.startswith('data:image/png;base64,'):
    sys.exit(body)
with open(output, 'wb') as out:
    out.write(base64.b64decode(body.split(',', 1)[1]))
