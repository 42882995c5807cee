#!/usr/bin/python3
"""The private news server's implicit TLS (tools/inn/start-inn --tls, --tls-bad).

Starts its own INN instances on free ports, talks to them as a TLS client with
Python's ssl module and with the openssl command, and stops them. Run as root
(innd runs as user news): python3 inn_tls_test.py [-v]
"""

import os
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import unittest
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
INN = os.path.join(os.environ.get("VEXIL_SOURCE_DIR", os.path.join(HERE, "..", "..")), "tools", "inn")
USER, PASSWORD = "reader", "Tls-Secret-7"


def run(script, *args, check=True):
    result = subprocess.run(["bash", os.path.join(INN, script), *args], capture_output=True,
                            text=True, timeout=240)
    if check and result.returncode != 0:
        raise AssertionError(f"{script} {' '.join(args)} failed ({result.returncode}):\n{result.stderr}")
    return result


def context(ca_file=None):
    if ca_file is None:
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
        ctx.check_hostname = False
        ctx.verify_mode = ssl.CERT_NONE
        return ctx
    return ssl.create_default_context(cafile=ca_file)


class Reader:
    """A line-at-a-time NNTP reader over TLS (or plain when ctx is None)."""

    def __init__(self, port, ctx=None, host="127.0.0.1"):
        raw = socket.create_connection(("127.0.0.1", port), timeout=20)
        self.sock = ctx.wrap_socket(raw, server_hostname=host) if ctx else raw
        self.file = self.sock.makefile("rb")
        self.greeting = self.line()

    def line(self):
        raw = self.file.readline()
        if not raw:
            raise AssertionError("the server closed the connection")
        return raw.decode("latin-1").rstrip("\r\n")

    def command(self, text):
        self.sock.sendall(text.encode() + b"\r\n")
        return self.line()

    def multiline(self):
        lines = []
        while (line := self.line()) != ".":
            lines.append(line)
        return lines

    def close(self):
        self.sock.close()


def verify_failure(port, ctx, host="127.0.0.1"):
    """The reason a verifying client gives for refusing PORT's certificate, or None."""
    try:
        Reader(port, ctx, host).close()
    except ssl.SSLCertVerificationError as e:
        return e.verify_message
    return None


def refused(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=5).close()
    except ConnectionRefusedError:
        return True
    return False


class ServerCase(unittest.TestCase):
    """One private instance per class, started with START_OPTIONS."""

    START_OPTIONS = []

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="inn-tls.", dir="/tmp")
        os.chmod(cls.tmp, 0o755)
        cls.dir = os.path.join(cls.tmp, "inn")
        cls.output = run("start-inn", cls.dir, "--port", "0", *cls.START_OPTIONS).stdout.split()
        cls.port, cls.tls_port, cls.ca_file = int(cls.output[0]), int(cls.output[1]), cls.output[2]

    @classmethod
    def tearDownClass(cls):
        run("stop-inn", cls.dir, check=False)
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def instance_processes(self):
        """Processes whose INNCONF lies in this instance's folder."""
        found = []
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open(f"/proc/{pid}/environ", "rb") as f:
                    env = f.read().split(b"\0")
            except OSError:
                continue
            if any(e.startswith(f"INNCONF={self.dir}/".encode()) for e in env):
                found.append(pid)
        return found


class OpenServerTest(ServerCase):
    START_OPTIONS = ["--tls-bad"]

    def test_prints_ports_and_ca_file_and_keeps_them_in_run_tls(self):
        self.assertEqual(6, len(self.output), self.output)
        self.assertEqual(6, len(set(self.output)))
        self.assertTrue(self.ca_file.startswith(self.dir) and os.path.isfile(self.ca_file))
        with open(os.path.join(self.dir, "run", "tls")) as f:
            state = dict(line.split(" ", 1) for line in f.read().splitlines())
        self.assertEqual(["port", "tls-port", "ca-file", "wrong-name-port", "expired-port",
                          "self-signed-port"], list(state))
        self.assertEqual(self.output, list(state.values()))
        again = run("start-inn", self.dir, "--port", "0", "--tls-bad")
        self.assertEqual(self.output, again.stdout.split())
        other = run("start-inn", self.dir, "--port", "0", "--tls", check=False)
        self.assertNotEqual(0, other.returncode)
        self.assertIn("other settings", other.stderr)

    def test_greets_over_verified_tls_by_address_and_by_name(self):
        for host in ("127.0.0.1", "localhost"):
            reader = Reader(self.tls_port, context(self.ca_file), host)
            self.assertRegex(reader.greeting, r"^200 ")
            self.assertIn(reader.sock.version(), ("TLSv1.2", "TLSv1.3"))
            self.assertIsNone(reader.sock.compression())
            reader.close()
        plain = Reader(self.port)
        self.assertRegex(plain.greeting, r"^200 ")
        plain.close()

    def test_capabilities_over_tls_offer_reading_and_compression(self):
        reader = Reader(self.tls_port, context(self.ca_file))
        self.assertEqual("101", reader.command("CAPABILITIES")[:3])
        capabilities = reader.multiline()
        self.assertEqual("VERSION 2", capabilities[0])
        for wanted in ("READER", "OVER", "COMPRESS DEFLATE"):
            self.assertIn(wanted, capabilities)
        reader.close()

    def test_openssl_client_verifies_against_the_ca_file(self):
        result = subprocess.run(
            ["openssl", "s_client", "-connect", f"127.0.0.1:{self.tls_port}", "-CAfile", self.ca_file,
             "-verify_return_error", "-verify_ip", "127.0.0.1", "-quiet"],
            input="CAPABILITIES\r\nQUIT\r\n", capture_output=True, text=True, timeout=30)
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertRegex(result.stdout, r"^200 ")
        self.assertIn("\nVERSION 2", result.stdout)
        self.assertIn("\n205 ", result.stdout)

    def test_bad_certificates_are_refused_for_their_own_reason(self):
        wrong_name, expired, self_signed = map(int, self.output[3:6])
        ctx = context(self.ca_file)
        self.assertIsNone(verify_failure(self.tls_port, ctx))
        self.assertIn("IP address mismatch", verify_failure(wrong_name, ctx))
        self.assertIn("Hostname mismatch", verify_failure(wrong_name, ctx, "localhost"))
        self.assertEqual("certificate has expired", verify_failure(expired, ctx))
        self.assertEqual("self-signed certificate", verify_failure(self_signed, ctx))
        # Against the system's trust store alone the test CA's certificate is untrusted.
        self.assertEqual("unable to get local issuer certificate",
                         verify_failure(self.tls_port, ssl.create_default_context()))
        # The servers behind the bad certificates work: only the certificate is wrong.
        for port in (wrong_name, expired, self_signed):
            reader = Reader(port, context())
            self.assertRegex(reader.greeting, r"^200 ")
            reader.close()

    def test_compress_deflate_works_inside_tls(self):
        reader = Reader(self.tls_port, context(self.ca_file))
        self.assertEqual("206", reader.command("COMPRESS DEFLATE")[:3])
        out = zlib.compressobj(wbits=-15)
        data = out.compress(b"CAPABILITIES\r\n") + out.flush(zlib.Z_SYNC_FLUSH)
        reader.sock.sendall(data)
        inflate = zlib.decompressobj(wbits=-15)
        text = b""
        while not text.endswith(b"\r\n.\r\n"):
            chunk = reader.sock.recv(4096)
            self.assertTrue(chunk, f"connection closed after {text!r}")
            text += inflate.decompress(chunk)
        self.assertTrue(text.startswith(b"101 "), text)
        self.assertIn(b"\r\nVERSION 2\r\n", text)
        reader.close()


class AuthServerTest(ServerCase):
    START_OPTIONS = ["--auth", f"{USER}:{PASSWORD}", "--tls"]

    def test_1_login_over_tls(self):
        self.assertEqual(3, len(self.output), self.output)
        reader = Reader(self.tls_port, context(self.ca_file))
        self.assertEqual("480", reader.command("GROUP junk")[:3])
        self.assertEqual("381", reader.command(f"AUTHINFO USER {USER}")[:3])
        self.assertEqual("481", reader.command("AUTHINFO PASS wrong")[:3])
        self.assertEqual("381", reader.command(f"AUTHINFO USER {USER}")[:3])
        self.assertEqual("281", reader.command(f"AUTHINFO PASS {PASSWORD}")[:3])
        self.assertEqual("211", reader.command("GROUP junk")[:3])
        reader.close()

    def test_2_stop_ends_every_listener_and_a_plain_restart_prints_only_the_port(self):
        connected = Reader(self.tls_port, context(self.ca_file))  # its reader must end too
        run("stop-inn", self.dir)
        self.assertEqual([], self.instance_processes())
        self.assertTrue(refused(self.tls_port))
        self.assertTrue(refused(self.port))
        connected.close()
        restarted = run("start-inn", self.dir, "--port", "0", "--auth", f"{USER}:{PASSWORD}")
        self.assertRegex(restarted.stdout, r"^\d+\n$")
        self.assertTrue(refused(self.tls_port))


@unittest.skipUnless(os.environ.get("VEXIL_INN_STATE"), "needs the test fixture's servers (ctest)")
class FixtureTest(unittest.TestCase):
    """The TLS ports that tools/inn/test-fixture leaves for the integration tests."""

    def state(self, name):
        with open(os.path.join(os.environ["VEXIL_INN_STATE"], name)) as f:
            return f.readline().strip()

    def test_both_instances_verify_against_the_joined_ca_file_and_the_bad_ones_do_not(self):
        ctx = context(os.path.join(os.environ["VEXIL_INN_STATE"], "ca.pem"))
        for name in ("tls-port", "auth-tls-port"):
            reader = Reader(int(self.state(name)), ctx)
            self.assertRegex(reader.greeting, r"^200 ", name)
            reader.close()
        for name, reason in (("wrong-name-port", "IP address mismatch"),
                             ("expired-port", "certificate has expired"),
                             ("self-signed-port", "self-signed certificate")):
            self.assertIn(reason, verify_failure(int(self.state(name)), ctx), name)


if __name__ == "__main__":
    if os.geteuid() != 0:
        sys.exit("inn_tls_test: must run as root (innd runs as user news)")
    unittest.main()
