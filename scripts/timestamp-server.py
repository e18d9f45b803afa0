#!/usr/bin/env python3
"""A stand-in RFC 3161 time-stamp server on loopback, for the release builds
of tests (there is no internet where they run): every POSTed time-stamp query
is answered by `openssl ts -reply`, signed by a throwaway time-stamping
certificate made in DIR (DIR/ca.pem is its root). Each query answered adds a
line to DIR/queries.log.

usage: scripts/timestamp-server.py DIR
Binds 127.0.0.1 on a free port, prints "PORT <n>" and serves until killed.
"""
import http.server
import os
import subprocess
import sys
import tempfile

CONFIG = """[ tsa ]
default_tsa = stand_in
[ stand_in ]
serial = {dir}/serial
crypto_device = builtin
signer_cert = {dir}/tsa.pem
certs = {dir}/ca.pem
signer_key = {dir}/tsa.key
signer_digest = sha256
default_policy = 1.3.6.1.4.1.32473.1
other_policies = 1.3.6.1.4.1.32473.2
digests = sha1, sha256, sha384, sha512
accuracy = secs:1
ordering = yes
tsa_name = no
ess_cert_id_chain = no
ess_cert_id_alg = sha256
"""


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_authority(folder):
    """A root and, issued by it, a certificate for time-stamping only."""
    if os.path.exists(f"{folder}/tsa.cnf"):
        return
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=Stand-in Time-Stamp Root",
            "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign",
            "-keyout", f"{folder}/ca.key", "-out", f"{folder}/ca.pem")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=Stand-in Time-Stamp Authority",
            "-keyout", f"{folder}/tsa.key", "-out", f"{folder}/tsa.csr")
    with open(f"{folder}/tsa.ext", "w") as ext:
        ext.write("basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                  "extendedKeyUsage=critical,timeStamping\n")
    openssl("x509", "-req", "-days", "2", "-in", f"{folder}/tsa.csr", "-CA", f"{folder}/ca.pem",
            "-CAkey", f"{folder}/ca.key", "-CAcreateserial", "-extfile", f"{folder}/tsa.ext",
            "-out", f"{folder}/tsa.pem")
    with open(f"{folder}/serial", "w") as serial:
        serial.write("01\n")
    with open(f"{folder}/tsa.cnf", "w") as config:
        config.write(CONFIG.format(dir=folder))


class TimeStampHandler(http.server.BaseHTTPRequestHandler):
    folder = ""

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        if not 0 < length <= 65536:
            self.send_error(400, "a time-stamp query is expected")
            return
        with tempfile.TemporaryDirectory() as work:
            with open(f"{work}/query.tsq", "wb") as query:
                query.write(self.rfile.read(length))
            answer = subprocess.run(["openssl", "ts", "-reply", "-config", f"{self.folder}/tsa.cnf",
                                     "-queryfile", f"{work}/query.tsq", "-out", f"{work}/reply.tsr"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            if answer.returncode != 0:
                self.send_error(400, "unusable time-stamp query")
                return
            with open(f"{work}/reply.tsr", "rb") as reply:
                body = reply.read()
        with open(f"{self.folder}/queries.log", "a") as log:
            log.write(f"{self.path} {length} bytes answered\n")
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = os.path.abspath(sys.argv[1])
    os.makedirs(folder, exist_ok=True)
    make_authority(folder)
    TimeStampHandler.folder = folder
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), TimeStampHandler)
    print(f"PORT {server.server_address[1]}", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
