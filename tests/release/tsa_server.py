"""A time-stamp server for one test run, on the loopback address only.

    tsa_server.py DIR

answers RFC 3161 requests over HTTP with `openssl ts -reply`, signing with
DIR/tsa-key.pem and DIR/tsa.pem, prints its port and ends by itself after
five minutes, should nobody stop it.
"""
import http.server
import os
import subprocess
import sys
import threading

folder = sys.argv[1]
config = os.path.join(folder, "tsa.cnf")
with open(config, "w") as out:
    out.write(f"""[tsa]
default_tsa = throwaway
[throwaway]
serial = {folder}/tsa-serial
crypto_device = builtin
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256
ess_cert_id_alg = sha256
""")
with open(os.path.join(folder, "tsa-serial"), "w") as out:
    out.write("01\n")


class TimeStamps(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        request = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        reply = subprocess.run(
            ["openssl", "ts", "-reply", "-config", config, "-queryfile", "/dev/stdin",
             "-inkey", os.path.join(folder, "tsa-key.pem"), "-signer", os.path.join(folder, "tsa.pem")],
            input=request, capture_output=True).stdout
        self.send_response(200 if reply else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *arguments):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), TimeStamps)
print(server.server_port, flush=True)
threading.Timer(300, server.shutdown).start()
server.serve_forever()
