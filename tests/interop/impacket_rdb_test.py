#!/usr/bin/python3
"""Interoperation of orv-dbservice with an independent DCE/RPC client (impacket).

Every request stub below is built by hand in NDR, so that the service is
checked against bytes it did not produce itself. Usage:
    impacket_rdb_test.py HOST PORT
"""
import socket
import struct
import sys
import unittest

from impacket.dcerpc.v5 import rpcrt, transport
from impacket.dcerpc.v5.rpcrt import DCERPCException
from impacket.uuid import uuidtup_to_bin

HOST, PORT = "127.0.0.1", 8907
IFACE = ("b08f120f-ce71-45ad-8c70-89bd0134f5e8", "1.0")
DB = b"NEW_ORV"
SEP = b"~$#^@*"


def ndr_string(text, offset):
    """A top-level [string] char* at stub offset `offset` (alignment padding first)."""
    pad = b"\0" * ((4 - offset % 4) % 4)
    data = text + b"\0"
    return pad + struct.pack("<III", len(data), 0, len(data)) + data


class Stub:
    def __init__(self):
        self.b = b""

    def string(self, text):
        self.b += ndr_string(text, len(self.b))
        return self

    def long(self, v):
        self.b += b"\0" * ((4 - len(self.b) % 4) % 4) + struct.pack("<i", v)
        return self


def error_record(data, off):
    """RDB_ERROR: long nCode then char[1001]; returns (code, message, next offset)."""
    off += (4 - off % 4) % 4
    code = struct.unpack_from("<i", data, off)[0]
    msg = data[off + 4:off + 4 + 1001].split(b"\0")[0]
    return code, msg, off + 1005


def connect():
    t = transport.DCERPCTransportFactory("ncacn_ip_tcp:%s[%d]" % (HOST, PORT))
    dce = t.get_dce_rpc()
    dce.connect()
    dce.bind(uuidtup_to_bin(IFACE))
    return dce


def call(dce, opnum, stub):
    dce.call(opnum, stub)
    return dce.recv()


class Bind(unittest.TestCase):
    def test_bind_accepted(self):
        dce = connect()
        self.assertEqual(call(dce, 0, b""), b"\x01")
        dce.disconnect()

    def test_unknown_interface_rejected(self):
        t = transport.DCERPCTransportFactory("ncacn_ip_tcp:%s[%d]" % (HOST, PORT))
        dce = t.get_dce_rpc()
        dce.connect()
        with self.assertRaises(DCERPCException) as cm:
            dce.bind(uuidtup_to_bin(("12345678-1234-1234-1234-123456789abc", "1.0")))
        self.assertIn("abstract_syntax_not_supported", str(cm.exception))
        dce.disconnect()

    def test_wrong_version_rejected(self):
        t = transport.DCERPCTransportFactory("ncacn_ip_tcp:%s[%d]" % (HOST, PORT))
        dce = t.get_dce_rpc()
        dce.connect()
        with self.assertRaises(DCERPCException):
            dce.bind(uuidtup_to_bin((IFACE[0], "2.0")))
        dce.disconnect()


class Procedures(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dce = connect()

    @classmethod
    def tearDownClass(cls):
        cls.dce.disconnect()

    def execute(self, opnum, sql):
        r = call(self.dce, opnum, Stub().string(DB).string(sql).b)
        code, msg, off = error_record(r, 0)
        self.assertEqual(len(r), off + 1, "small result right after the error record")
        return r[off], code, msg

    def test_execute_forms(self):
        for opnum in (1, 4):
            self.assertEqual(self.execute(opnum, b"select 1"), (1, 0, b""))
        small, code, msg = self.execute(1, b"select * from NO_SUCH_TABLE_HERE")
        self.assertEqual(small, 0)
        self.assertNotEqual(code, 0)
        self.assertIn(b"NO_SUCH_TABLE_HERE", msg)

    def test_execute_wan_returns_only_the_code(self):
        r = call(self.dce, 3, Stub().string(DB).string(b"select * from NO_SUCH_TABLE_HERE").b)
        self.assertEqual(len(r), 5)
        code = struct.unpack_from("<i", r, 0)[0]
        self.assertNotEqual(code, 0)
        self.assertEqual(r[4], 0)

    def test_execute_queue(self):
        stub = Stub().string(DB).string(b"select 1").string(b"three").string(b"four").b
        r = call(self.dce, 5, stub)
        code, _, off = error_record(r, 0)
        self.assertEqual((code, r[off]), (0, 1))

    def test_bulk_execute(self):
        batch = b"select 1" + SEP + b"select 2" + SEP + b"select 3" + SEP
        r = call(self.dce, 2, Stub().string(DB).long(3).string(batch).b)
        executed = struct.unpack_from("<i", r, 0)[0]
        code, _, off = error_record(r, 4)
        self.assertEqual((executed, code, r[off]), (3, 0, 1))

        batch = b"select 1" + SEP + b"select * from NO_SUCH_TABLE_HERE" + SEP + b"select 3" + SEP
        r = call(self.dce, 2, Stub().string(DB).long(3).string(batch).b)
        executed = struct.unpack_from("<i", r, 0)[0]
        code, _, off = error_record(r, 4)
        self.assertEqual(executed, 1)
        self.assertNotEqual(code, 0)
        self.assertEqual(r[off], 0)

    def test_queries_without_rows(self):
        # Rows would come back through callbacks, which impacket cannot answer:
        # a query with no rows answers directly.
        empty = b"select 1 where 1 = 0"
        for opnum, stub in ((6, Stub().string(DB).long(9).string(empty)),
                            (10, Stub().string(DB).long(9).string(empty)),
                            (7, Stub().string(DB).long(9).long(4).string(empty))):
            r = call(self.dce, opnum, stub.b)
            rows = struct.unpack_from("<i", r, 0)[0]
            code, _, off = error_record(r, 4)
            self.assertEqual((rows, code, r[off]), (0, 0, 1), "opnum %d" % opnum)

    def test_first_record(self):
        for opnum, stub in ((8, Stub().string(DB).string(b"select 1, 'x', null")),
                            (9, Stub().string(DB).long(5).string(b"select 1, 'x', null"))):
            r = call(self.dce, opnum, stub.b)
            self.assertEqual(len(r), 4096 + 1005 + 1)
            self.assertEqual(r[:4096].split(b"\0")[0], b"1:;x:;:;")
            code, _, off = error_record(r, 4096)
            self.assertEqual((code, r[off]), (0, 1))
        r = call(self.dce, 8, Stub().string(DB).string(b"select 1 where 1 = 0").b)
        code, _, off = error_record(r, 4096)
        self.assertEqual((code, r[off]), (1, 1))  # no row

    def test_korean_text_round_trips_in_code_page_949(self):
        r = call(self.dce, 8, Stub().string(DB).string("select '홍길동'".encode("cp949")).b)
        self.assertEqual(r[:4096].split(b"\0")[0].decode("cp949"), "홍길동:;")

    def test_reserved_and_unknown_opnums(self):
        self.assertEqual(call(self.dce, 11, b""), b"")
        with self.assertRaises(DCERPCException) as cm:
            call(self.dce, 12, b"")
        self.assertIn("nca_s_op_rng_error", str(cm.exception))
        # The association is still usable after a fault.
        self.assertEqual(call(self.dce, 0, b""), b"\x01")

    def test_bad_stub_data(self):
        with self.assertRaises(DCERPCException) as cm:
            call(self.dce, 1, b"\x01\x02\x03")
        self.assertIn("rpc_x_bad_stub_data", str(cm.exception))

    def test_fragmented_request_at_4280(self):
        # impacket binds with 4280-byte fragments and cuts the request itself.
        text = b"x" * 12000
        r = call(self.dce, 8, Stub().string(DB).string(b"select len('" + text + b"')").b)
        self.assertEqual(r[:4096].split(b"\0")[0], b"12000:;")


class Fragments5840(unittest.TestCase):
    """A Windows-sized association: bind with 5840 and send 5840-byte fragments by hand."""

    def test_fragmented_request_at_5840(self):
        s = socket.create_connection((HOST, PORT), timeout=10)
        bind = rpcrt.MSRPCBind()
        bind["max_tfrag"] = 5840
        bind["max_rfrag"] = 5840
        item = rpcrt.CtxItem()
        item["AbstractSyntax"] = uuidtup_to_bin(IFACE)
        item["TransferSyntax"] = uuidtup_to_bin(("8a885d04-1ceb-11c9-9fe8-08002b104860", "2.0"))
        item["ContextID"] = 0
        item["TransItems"] = 1
        bind.addCtxItem(item)
        hdr = rpcrt.MSRPCHeader()
        hdr["type"] = rpcrt.MSRPC_BIND
        hdr["pduData"] = bind.getData()
        hdr["call_id"] = 1
        s.sendall(hdr.getData())
        ack = rpcrt.MSRPCBindAck(self.read_pdu(s))
        self.assertEqual(ack["max_rfrag"], 5840)
        self.assertEqual(ack.getCtxItem(1)["Result"], 0)

        text = b"y" * 30000
        stub = Stub().string(DB).string(b"select len('" + text + b"')").b
        per = 5840 - 24
        frags = [stub[i:i + per] for i in range(0, len(stub), per)]
        for i, frag in enumerate(frags):
            req = rpcrt.MSRPCRequestHeader()
            req["type"] = rpcrt.MSRPC_REQUEST
            req["flags"] = (rpcrt.PFC_FIRST_FRAG if i == 0 else 0) | \
                           (rpcrt.PFC_LAST_FRAG if i == len(frags) - 1 else 0)
            req["call_id"] = 2
            req["ctx_id"] = 0
            req["op_num"] = 8
            req["alloc_hint"] = len(stub)
            req["pduData"] = frag
            data = req.getData()
            self.assertLessEqual(len(data), 5840)
            s.sendall(data)
        body = b""
        while True:
            resp = rpcrt.MSRPCRespHeader(self.read_pdu(s))
            self.assertEqual(resp["type"], rpcrt.MSRPC_RESPONSE)
            body += resp["pduData"]
            if resp["flags"] & rpcrt.PFC_LAST_FRAG:
                break
        self.assertEqual(body[:4096].split(b"\0")[0], b"30000:;")
        s.close()

    @staticmethod
    def read_pdu(s):
        data = b""
        while len(data) < 16:
            data += s.recv(16 - len(data))
        length = struct.unpack_from("<H", data, 8)[0]
        while len(data) < length:
            data += s.recv(length - len(data))
        return data


if __name__ == "__main__":
    HOST, PORT = sys.argv[1], int(sys.argv[2])
    unittest.main(argv=sys.argv[:1], verbosity=2)
