#!/usr/bin/env python3
"""A hostile IMAP server for the tests: one scenario per process, on
127.0.0.1 only, gone after --lifetime seconds whatever happens.

  imap-server.py --scenario NAME --cert C --key K --port-file F --log L

It writes its port to F once it listens and every command line it receives
(literals included, after a '{n}' marker) to L. With --starttls it greets in
plain text and offers STARTTLS (imap://); otherwise TLS from the start.
"""
import argparse
import os
import signal
import socket
import ssl
import threading
import time

MAILS = [
    b"From: shop%d@example.jp\r\nSubject: order %d\r\n\r\nName: person %d\r\n" % (i, i, i)
    for i in range(1, 4)
]
# UID 2 is listed far larger than a mail may be: it must never be fetched.
LISTED_SIZE = {2: 300_000_000}

log_lock = threading.Lock()


def log(path, text):
    with log_lock, open(path, "ab") as f:
        f.write(text + b"\n")


def endless(conn, chunk):
    try:
        while True:
            conn.sendall(chunk)
    except OSError:
        pass


def trickle(conn, text):
    try:
        while True:
            for byte in text:
                conn.sendall(bytes([byte]))
                time.sleep(1)
    except OSError:
        pass


def read_command(conn, buf, logpath):
    """One command line with its literals; answers '+' to each literal."""
    line = b""
    while True:
        while b"\n" not in buf[0]:
            data = conn.recv(65536)
            if not data:
                return None
            buf[0] += data
        part, buf[0] = buf[0].split(b"\n", 1)
        line += part + b"\n"
        stripped = part.rstrip(b"\r")
        if stripped.endswith(b"}") and b"{" in stripped:
            size = int(stripped[stripped.rindex(b"{") + 1:-1].rstrip(b"+"))
            conn.sendall(b"+ go on\r\n")
            while len(buf[0]) < size:
                data = conn.recv(65536)
                if not data:
                    return None
                buf[0] += data
            line += buf[0][:size]
            buf[0] = buf[0][size:]
            continue
        log(logpath, line.rstrip(b"\r\n"))
        return line


def listing(scenario):
    out = b""
    for i, mail in enumerate(MAILS, 1):
        uid = 4294967297 if scenario == "uid64" and i == 3 else i
        size = LISTED_SIZE.get(i, len(mail)) if scenario == "record" else len(mail)
        out += b"* %d FETCH (UID %d RFC822.SIZE %d)\r\n" % (i, uid, size)
    return out


def bodies(scenario, uids):
    if scenario == "huge-literal":
        return b"* 1 FETCH (UID 1 BODY[] {99999999999}\r\n", b"x" * 65536
    if scenario == "untagged-fetch":
        return b"", b"* 1 FETCH (FLAGS (\\Seen))\r\n" * 2048
    out = b""
    for i, mail in enumerate(MAILS, 1):
        if i in uids:
            out += b"* %d FETCH (UID %d BODY[] {%d}\r\n%s)\r\n" % (i, i, len(mail), mail)
    return out, None


def uid_set(text):
    uids = set()
    for piece in text.split(b","):
        first, _, last = piece.partition(b":")
        uids.update(range(int(first), int(last or first) + 1))
    return uids


def session(conn, args, context):
    scenario = args.scenario
    if scenario == "silent-tls":
        time.sleep(args.lifetime)  # TCP open, no TLS handshake ever
        return
    if not args.starttls:
        conn = context.wrap_socket(conn, server_side=True)
    if scenario == "silent-greeting":
        time.sleep(args.lifetime)
        return
    greeting = b"* OK [CAPABILITY IMAP4rev1 STARTTLS AUTH=PLAIN] hostile ready\r\n"
    if scenario == "trickle":
        trickle(conn, greeting)
        return
    conn.sendall(greeting)
    buf = [b""]
    while True:
        line = read_command(conn, buf, args.log)
        if line is None:
            return
        words = line.split(b" ", 2)
        tag, verb = words[0], words[1].strip().upper() if len(words) > 1 else b""
        rest = words[2] if len(words) > 2 else b""
        if verb == b"CAPABILITY":
            conn.sendall(b"* CAPABILITY IMAP4rev1 STARTTLS AUTH=PLAIN\r\n%s OK done\r\n" % tag)
        elif verb == b"STARTTLS":
            answer = b"%s OK begin TLS\r\n" % tag
            if scenario == "starttls-inject":
                answer += b"* CAPABILITY IMAP4rev1 AUTH=PLAIN\r\n"
            conn.sendall(answer)
            conn = context.wrap_socket(conn, server_side=True)
        elif verb == b"LOGIN":
            if scenario == "silent-login":
                time.sleep(args.lifetime)
                return
            if scenario == "untagged-login":
                endless(conn, b"* OK still thinking\r\n" * 2048)
                return
            if scenario == "long-line":
                endless(conn, b"x" * 65536)
                return
            conn.sendall(b"%s OK logged in\r\n" % tag)
        elif verb == b"EXAMINE":
            if scenario == "untagged-examine":
                endless(conn, b"* 1 EXISTS\r\n" * 4096)
                return
            name = rest.strip().strip(b'"')
            if scenario == "damaged-folder" and name != b"a&AAA-b":
                conn.sendall(b"%s NO no such folder\r\n" % tag)
                continue
            conn.sendall(b"* %d EXISTS\r\n* OK [UIDVALIDITY 7] ok\r\n%s OK [READ-ONLY] done\r\n"
                         % (len(MAILS), tag))
        elif verb == b"LIST":
            if scenario == "untagged-list":
                endless(conn, b'* LIST () "/" "folder"\r\n' * 2048)
                return
            conn.sendall(b'* LIST () "/" INBOX\r\n%s OK done\r\n' % tag)
        elif verb == b"FETCH":
            conn.sendall(listing(scenario) + b"%s OK done\r\n" % tag)
        elif verb == b"UID" and rest.upper().startswith(b"FETCH "):
            head, tail = bodies(scenario, uid_set(rest.split(b" ")[1]))
            conn.sendall(head)
            if tail is not None:
                endless(conn, tail)
                return
            conn.sendall(b"%s OK done\r\n" % tag)
        elif verb == b"NOOP":
            conn.sendall(b"%s OK done\r\n" % tag)
        elif verb == b"LOGOUT":
            conn.sendall(b"* BYE bye\r\n%s OK done\r\n" % tag)
            return
        else:
            conn.sendall(b"%s BAD unknown\r\n" % tag)


def serve(conn, args, context):
    try:
        session(conn, args, context)
    except (OSError, ssl.SSLError, ValueError):
        pass
    finally:
        conn.close()


def main():
    parser = argparse.ArgumentParser()
    for name in ("--scenario", "--cert", "--key", "--port-file", "--log"):
        parser.add_argument(name, required=True)
    parser.add_argument("--starttls", action="store_true")
    parser.add_argument("--lifetime", type=int, default=150)
    args = parser.parse_args()
    signal.signal(signal.SIGALRM, lambda *_: os._exit(0))
    signal.alarm(args.lifetime)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    with open(args.port_file + ".tmp", "w") as f:
        f.write(str(listener.getsockname()[1]))
    os.rename(args.port_file + ".tmp", args.port_file)
    while True:
        conn, _ = listener.accept()
        log(args.log, b"* connection")
        threading.Thread(target=serve, args=(conn, args, context), daemon=True).start()


if __name__ == "__main__":
    main()
