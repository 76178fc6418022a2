#!/usr/bin/env python3
"""An NTLM authenticator for squid's helper protocol that accepts any account.

squid's own ntlm_fake_auth sends a challenge whose target-name offset points
nowhere, which stricter clients (Samba's ntlm_auth, behind Wine's NTLM package)
refuse. This one sends a well-formed challenge with a target name and target
information (domain QRTDOM, computer PROXY) and accepts every authenticate
message, answering with the user name it carries.

With --refuse it refuses every authenticate message instead ("NA"), as a
proxy does that does not know the account.

Protocol (one line each way): "YR <negotiate>" -> "TT <challenge>";
"KK <authenticate>" -> "AF DOMAIN\\user" (the older answer, which squid
still takes and negotiate_wrapper_auth understands); anything else -> "BH ...".
"""
import base64
import os
import struct
import sys

FLAGS = (0x00000001 | 0x00000004 | 0x00000200 | 0x00008000 | 0x00010000 | 0x00080000 |
         0x00800000 | 0x02000000 | 0x20000000 | 0x80000000)


def utf16(text):
    return text.encode('utf-16-le')


def challenge():
    target = utf16('QRTDOM')
    info = b''
    for av_id, value in ((2, utf16('QRTDOM')), (1, utf16('PROXY'))):
        info += struct.pack('<HH', av_id, len(value)) + value
    info += struct.pack('<HH', 0, 0)
    header_len = 56
    msg = b'NTLMSSP\0' + struct.pack('<I', 2)
    msg += struct.pack('<HHI', len(target), len(target), header_len)
    msg += struct.pack('<I', FLAGS)
    msg += os.urandom(8) + b'\0' * 8
    msg += struct.pack('<HHI', len(info), len(info), header_len + len(target))
    msg += bytes((6, 1, 0, 0, 0, 0, 0, 15))  # version 6.1, NTLM revision 15
    return msg + target + info


def field(msg, at):
    length, _, offset = struct.unpack_from('<HHI', msg, at)
    return msg[offset:offset + length]


def user_of(msg):
    if len(msg) < 52 or msg[:8] != b'NTLMSSP\0' or struct.unpack_from('<I', msg, 8)[0] != 3:
        return None
    flags = struct.unpack_from('<I', msg, 60)[0] if len(msg) >= 64 else FLAGS
    enc = 'utf-16-le' if flags & 1 else 'latin-1'
    domain = field(msg, 28).decode(enc, 'replace')
    user = field(msg, 36).decode(enc, 'replace')
    return '%s\\%s' % (domain, user) if domain else user


def main():
    refuse = '--refuse' in sys.argv[1:]
    for line in sys.stdin:
        words = line.split()
        try:
            if words and words[0] == 'YR':
                answer = 'TT ' + base64.b64encode(challenge()).decode()
            elif len(words) == 2 and words[0] == 'KK':
                user = user_of(base64.b64decode(words[1]))
                if not user:
                    answer = 'BH not an authenticate message'
                elif refuse:
                    answer = 'NA unknown account'
                else:
                    answer = 'AF ' + user
            else:
                answer = 'BH unexpected request'
        except (ValueError, struct.error):
            answer = 'BH malformed token'
        sys.stdout.write(answer + '\n')
        sys.stdout.flush()


if __name__ == '__main__':
    main()
