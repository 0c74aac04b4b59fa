-- Wireshark dissector for the packet channel between svcadjust and a Corvid
-- Lumen printer (docs/PROTOCOL.md), as written by "vpcapture --pcapng":
-- one channel packet per frame on link type 147 (USER0), its direction in
-- the frame's flags (outbound: host to printer, inbound: printer to host).
--
--   tshark -X lua_script:svcadjust-channel.lua -r link.pcapng -V
--
-- Installed in Wireshark's Lua plugin folder it is loaded by itself.
-- Display filters: svcchan, svcchan.credit, svcchan.cmd, svcchan.ctl,
-- svcchan.eeprom.addr, svcchan.data.len, ...

local p = Proto("svcchan", "svcadjust packet channel")

local commands = {
    [0x00] = "Init", [0x01] = "OpenChannel", [0x02] = "CloseChannel", [0x03] = "Credit",
    [0x04] = "CreditRequest", [0x08] = "Exit", [0x09] = "GetSocketID", [0x7F] = "Error",
}
local messages = { [0x10] = "EEPROM read", [0x11] = "EEPROM write", [0x20] = "Status" }
local results = {
    [0x00] = "done", [0x01] = "refused", [0x02] = "revision not spoken",
    [0x03] = "unknown service or socket", [0x04] = "channel already open",
    [0x05] = "channel not open", [0x06] = "not initialised", [0x07] = "packet size below minimum",
}
local errors = {
    [1] = "length below 6", [2] = "length above the negotiated limit", [3] = "socket pair not open",
    [4] = "credit above the cap of 1024", [5] = "packet without credit",
    [6] = "malformed command or message", [7] = "unknown command or message code",
    [8] = "not allowed now",
}
local states = {
    [0] = "error", [2] = "busy", [3] = "printing", [4] = "ready", [7] = "cleaning",
    [8] = "before initial ink charge",
}
local directions = { [0] = "host to printer", [1] = "printer to host" }

local f = {
    direction = ProtoField.uint8("svcchan.direction", "Direction", base.DEC, directions),
    psid = ProtoField.uint8("svcchan.psid", "Printer socket (PSID)", base.HEX),
    ssid = ProtoField.uint8("svcchan.ssid", "Host socket (SSID)", base.HEX),
    length = ProtoField.uint16("svcchan.length", "Length", base.DEC),
    credit = ProtoField.uint8("svcchan.credit", "Credit", base.DEC),
    control = ProtoField.uint8("svcchan.control", "Control", base.HEX),
    channel = ProtoField.string("svcchan.channel", "Channel"),
    cmd = ProtoField.uint8("svcchan.cmd", "Command", base.HEX, commands, 0x7F),
    reply = ProtoField.bool("svcchan.reply", "Reply", 8, nil, 0x80),
    result = ProtoField.uint8("svcchan.result", "Result", base.HEX, results),
    rev = ProtoField.uint8("svcchan.revision", "Revision", base.HEX),
    cpsid = ProtoField.uint8("svcchan.cmd.psid", "Channel PSID", base.HEX),
    cssid = ProtoField.uint8("svcchan.cmd.ssid", "Channel SSID", base.HEX),
    maxhp = ProtoField.uint16("svcchan.cmd.max_host_to_printer", "Largest packet host to printer", base.DEC),
    maxph = ProtoField.uint16("svcchan.cmd.max_printer_to_host", "Largest packet printer to host", base.DEC),
    grant = ProtoField.uint16("svcchan.cmd.credit", "Credit granted", base.DEC),
    wanted = ProtoField.uint16("svcchan.cmd.wanted", "Credit wanted", base.DEC),
    socket = ProtoField.uint8("svcchan.cmd.socket", "Socket", base.HEX),
    name = ProtoField.string("svcchan.cmd.name", "Service name"),
    error = ProtoField.uint8("svcchan.cmd.error", "Protocol error", base.DEC, errors),
    ctl = ProtoField.uint8("svcchan.ctl", "Control message", base.HEX, messages, 0x7F),
    ctlreply = ProtoField.bool("svcchan.ctl.reply", "Reply", 8, nil, 0x80),
    addr = ProtoField.uint8("svcchan.eeprom.addr", "EEPROM address", base.HEX),
    value = ProtoField.uint8("svcchan.eeprom.value", "EEPROM value", base.HEX),
    state = ProtoField.uint8("svcchan.status.state", "Printer state", base.DEC, states),
    perror = ProtoField.uint8("svcchan.status.error", "Printer error code", base.DEC),
    ink = ProtoField.string("svcchan.status.ink", "Ink codes"),
    record = ProtoField.bytes("svcchan.status.record", "Status record"),
    datalen = ProtoField.uint16("svcchan.data.len", "Print data bytes", base.DEC),
    data = ProtoField.bytes("svcchan.data", "Print data"),
}
p.fields = f

local e_bad = ProtoExpert.new("svcchan.malformed", "Malformed packet", expert.group.MALFORMED, expert.severity.ERROR)
p.experts = { e_bad }

-- The sockets of the print-data and control channels, learnt from the
-- GetSocketID replies in the order the frames come (2 and 3 until then).
local sockets = {}
local frame_sockets = {}
local function reset_sockets()
    sockets = { data = 0x02, control = 0x03 }
    frame_sockets = {}
end
reset_sockets()
function p.init() reset_sockets() end
local pending_name = nil

local function hex(v) return string.format("0x%02X", v) end

local function result_text(r)
    return results[r] or ("result " .. hex(r))
end

local function transaction(tvb, tree, pinfo)
    local n = tvb:len()
    if n < 1 then return "empty transaction" end
    local code = tvb(0, 1):uint()
    local is_reply = code >= 0x80
    local base_code = code % 0x80
    local cname = commands[base_code] or ("command " .. hex(base_code))
    tree:add(f.cmd, tvb(0, 1))
    tree:add(f.reply, tvb(0, 1))
    local info = cname .. (is_reply and " reply" or "")
    local at = 1
    if is_reply and n >= 2 then
        tree:add(f.result, tvb(1, 1))
        at = 2
        local r = tvb(1, 1):uint()
        if r ~= 0 then info = info .. " (" .. result_text(r) .. ")" end
    end
    local rest = n - at
    local function pair()
        if rest >= 2 then
            tree:add(f.cpsid, tvb(at, 1))
            tree:add(f.cssid, tvb(at + 1, 1))
            info = info .. " " .. hex(tvb(at, 1):uint())
            at = at + 2
            rest = rest - 2
        end
    end
    if base_code == 0x00 then
        if rest >= 1 then tree:add(f.rev, tvb(at, 1)) end
    elseif base_code == 0x01 then
        pair()
        if rest >= 4 then
            tree:add(f.maxhp, tvb(at, 2))
            tree:add(f.maxph, tvb(at + 2, 2))
            info = info .. string.format(" sizes %d/%d", tvb(at, 2):uint(), tvb(at + 2, 2):uint())
            at = at + 4
            rest = rest - 4
        end
        if is_reply and rest >= 2 then
            tree:add(f.grant, tvb(at, 2))
            info = info .. ", credit " .. tvb(at, 2):uint()
        end
    elseif base_code == 0x02 then
        pair()
    elseif base_code == 0x03 then
        pair()
        if not is_reply and rest >= 2 then
            tree:add(f.grant, tvb(at, 2))
            info = info .. ", credit " .. tvb(at, 2):uint()
        end
    elseif base_code == 0x04 then
        pair()
        if rest >= 2 then
            if is_reply then
                tree:add(f.grant, tvb(at, 2))
                info = info .. ", granted " .. tvb(at, 2):uint()
            else
                tree:add(f.wanted, tvb(at, 2))
                info = info .. ", wanted " .. tvb(at, 2):uint()
            end
        end
    elseif base_code == 0x09 then
        if is_reply then
            if rest >= 1 then
                tree:add(f.socket, tvb(at, 1))
                local s = tvb(at, 1):uint()
                local name = rest > 1 and tvb(at + 1, rest - 1):string() or pending_name
                if name and rest > 1 then tree:add(f.name, tvb(at + 1, rest - 1)) end
                info = info .. " " .. (name or "?") .. " = " .. hex(s)
                if not pinfo.visited and tvb(1, 1):uint() == 0 then
                    if name == "SVC-PRINT-DATA" then sockets.data = s end
                    if name == "SVC-CONTROL" then sockets.control = s end
                end
            end
        elseif rest >= 1 then
            tree:add(f.name, tvb(at, rest))
            pending_name = tvb(at, rest):string()
            info = info .. " " .. pending_name
        end
    elseif base_code == 0x7F then
        pair()
        if rest >= 1 then
            tree:add(f.error, tvb(at, 1))
            info = info .. ": " .. (errors[tvb(at, 1):uint()] or ("code " .. tvb(at, 1):uint()))
        end
    end
    return info
end

local function control(tvb, tree)
    local n = tvb:len()
    if n < 1 then return "empty control message" end
    local code = tvb(0, 1):uint()
    local is_reply = code >= 0x80
    local base_code = code % 0x80
    tree:add(f.ctl, tvb(0, 1))
    tree:add(f.ctlreply, tvb(0, 1))
    local info = (messages[base_code] or ("message " .. hex(base_code))) .. (is_reply and " reply" or "")
    local at = 1
    if is_reply and n >= 2 then
        tree:add(f.result, tvb(1, 1))
        at = 2
        local r = tvb(1, 1):uint()
        if r ~= 0 then info = info .. " (" .. result_text(r) .. ")" end
    end
    if base_code == 0x10 or base_code == 0x11 then
        if n >= at + 1 then
            tree:add(f.addr, tvb(at, 1))
            info = info .. " " .. hex(tvb(at, 1):uint())
        end
        if n >= at + 2 then
            tree:add(f.value, tvb(at + 1, 1))
            info = info .. " = " .. hex(tvb(at + 1, 1):uint())
        end
    elseif base_code == 0x20 and is_reply and n >= at + 28 then
        local rec = tvb(at, n - at)
        local st = tree:add(f.record, rec)
        st:add(f.state, tvb(at, 1))
        st:add(f.perror, tvb(at + 1, 1))
        st:add(f.ink, tvb(at + 14, 14))
        local s = tvb(at, 1):uint()
        info = info .. ": " .. (states[s] or ("state " .. s)) .. ", error " .. tvb(at + 1, 1):uint()
    end
    return info
end

function p.dissector(tvb, pinfo, root)
    pinfo.cols.protocol = "SVCCHAN"
    local n = tvb:len()
    local tree = root:add(p, tvb(), "svcadjust packet channel")
    -- Direction from the frame's flags: sent (outbound) is the host's.
    local dir = pinfo.p2p_dir
    if dir == 0 then
        tree:add(f.direction, 0):set_generated()
        pinfo.cols.src = "host"
        pinfo.cols.dst = "printer"
    elseif dir == 1 then
        tree:add(f.direction, 1):set_generated()
        pinfo.cols.src = "printer"
        pinfo.cols.dst = "host"
    end
    if n < 6 then
        tree:add_proto_expert_info(e_bad, "shorter than the 6-byte header")
        pinfo.cols.info = "malformed: shorter than a header"
        return n
    end
    local psid = tvb(0, 1):uint()
    local length = tvb(2, 2):uint()
    local hdr = tree:add(tvb(0, 6), "Header")
    hdr:add(f.psid, tvb(0, 1))
    hdr:add(f.ssid, tvb(1, 1))
    local lt = hdr:add(f.length, tvb(2, 2))
    hdr:add(f.credit, tvb(4, 1))
    hdr:add(f.control, tvb(5, 1))
    local bad_length = length < 6 or length ~= n
    if bad_length then
        lt:add_proto_expert_info(e_bad, "length " .. length .. " does not match the " .. n .. " bytes captured")
    end
    local payload = tvb(6, math.max(math.min(length, n) - 6, 0))
    if payload:len() == 0 then payload = tvb(6, 0) end
    local credit = tvb(4, 1):uint()

    if not pinfo.visited then
        frame_sockets[pinfo.number] = { data = sockets.data, control = sockets.control }
    end
    local known = frame_sockets[pinfo.number] or sockets
    local info
    if psid == 0 then
        tree:add(f.channel, "transaction"):set_generated()
        info = transaction(payload:tvb(), tree, pinfo)
    elseif psid == known.control then
        tree:add(f.channel, "control"):set_generated()
        info = control(payload:tvb(), tree)
    elseif psid == known.data then
        tree:add(f.channel, "print data"):set_generated()
        tree:add(f.datalen, payload:len()):set_generated()
        if payload:len() > 0 then tree:add(f.data, payload) end
        info = "Print data, " .. payload:len() .. " bytes"
    else
        tree:add(f.channel, "socket " .. hex(psid)):set_generated()
        info = "socket " .. hex(psid) .. ", " .. payload:len() .. " bytes"
    end
    if psid ~= 0 and credit > 0 then info = info .. " [credit " .. credit .. "]" end
    if bad_length then info = info .. " [malformed: length " .. length .. ", " .. n .. " bytes]" end
    pinfo.cols.info = info
    return n
end

local encap = (wtap_encaps and wtap_encaps.USER0) or (wtap and wtap.USER0)
DissectorTable.get("wtap_encap"):add(encap, p)
