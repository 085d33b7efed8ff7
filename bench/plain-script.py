#!/usr/bin/env python3
"""What a user might write instead of the command: the columns of
examples/inquiries.KFY from an mbox with Python's own mailbox and email
modules, as a CSV in UTF-8. bench/run-cli-bench.sh times it beside the
command as the reference a plain script sets.

    plain-script.py STORE.mbox OUT.csv
"""
import csv
import mailbox
import re
import sys
from email.header import decode_header, make_header
from email.utils import parseaddr

KEYS = ["■お名前：", "■フリガナ：", "■メールアドレス：", None, "■お問い合わせ種別："]
PHONE = re.compile(r"^■(電話番号|TEL|ＴＥＬ)：(.*)$")
CONTENT = "■お問い合わせ内容："


def header(message, name):
    value = message.get(name, "")
    try:
        return str(make_header(decode_header(value)))
    except Exception:
        return value


def body_text(message):
    part = message
    if message.is_multipart():
        part = next((p for p in message.walk() if p.get_content_type() == "text/plain"), None)
        if part is None:
            return ""
    payload = part.get_payload(decode=True) or b""
    charset = part.get_content_charset() or "iso-2022-jp"
    try:
        return payload.decode(charset, errors="replace")
    except LookupError:
        return payload.decode("iso-2022-jp", errors="replace")


def row(message):
    name, address = parseaddr(header(message, "From"))
    lines = body_text(message).splitlines()
    values = []
    for key in KEYS:
        if key is None:
            found = next((m.group(2) for m in map(PHONE.match, lines) if m), "")
        else:
            found = next((l[len(key):].strip() for l in lines if l.startswith(key)), "")
        values.append(found)
    content = ""
    for i, line in enumerate(lines):
        if line.startswith(CONTENT):
            content = "\n".join(lines[i + 1:]).split("■ここまで")[0].strip()
            break
    return [message.get("Date", ""), header(message, "Subject"), name, address] + values + [content, ""]


def main():
    store, out = sys.argv[1], sys.argv[2]
    with open(out, "w", newline="", encoding="utf-8") as f:
        writer = csv.writer(f)
        for message in mailbox.mbox(store, create=False):
            writer.writerow(row(message))


if __name__ == "__main__":
    main()
