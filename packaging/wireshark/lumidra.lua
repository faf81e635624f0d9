-- The Lumidra demonstration board's reports by name.
--
-- The board (USB vendor 0xC04E, product 0x2014) talks in 64-byte HID reports
-- on two interrupt endpoints. Its reports carry no kind of their own: the
-- host's three buffers (state, job, data) and the board's status, data and
-- plot reports look alike, and the kind of each follows from the exchange so
-- far, as the program decides it. This dissector follows that exchange per
-- device, keeps what it decided per frame (frames are dissected again, in any
-- order), and shows "unknown" until it knows where the exchange stands.
--
-- Applies by itself where the capture holds the board's device descriptor
-- (the program's own pcapng traces, and usbmon captures that include the
-- board's enumeration); otherwise through Decode As (USB device).
--
-- Filter name "lumidra", fields "lumidra.*". Install: copy this file into
-- ~/.local/lib/wireshark/plugins/ (or run tshark -X lua_script:lumidra.lua).
-- Runs on Wireshark 4.0 (Lua 5.2) and 4.4 (Lua 5.4), whose numbers differ:
-- every number shown is an integer in both. Wireshark 4.4 runs no Lua for
-- root: read captures as an ordinary user.

local VENDOR, PRODUCT = 0xC04E, 0x2014
local REPORT_SIZE = 64
local MEMORY_SIZE = 4096

-- A second copy (one installed, one given with -X lua_script) leaves the
-- first one in charge.
local registered, lumidra = pcall(Proto, "lumidra", "Lumidra board")
if not registered then return end

local key_status_names = {
    [0] = "no key", [1] = "key held", [2] = "key read", [5] = "read error", [8] = "read error",
}
local led_mode_names = { [0] = "number", [1] = "number", [2] = "date", [3] = "time" }
local command_names = {
    [0] = "none", [1] = "backlight on", [2] = "the host leaves", [5] = "backlight off",
}

local f = {
    kind = ProtoField.string("lumidra.kind", "Kind"),
    direction = ProtoField.string("lumidra.direction", "Direction"),
    report = ProtoField.bytes("lumidra.report", "Report"),
    -- status
    channel1 = ProtoField.uint16("lumidra.channel1", "Channel 1"),
    channel1_percent = ProtoField.uint16("lumidra.channel1.percent", "Channel 1 %"),
    channel2 = ProtoField.uint16("lumidra.channel2", "Channel 2"),
    channel2_percent = ProtoField.uint16("lumidra.channel2.percent", "Channel 2 %"),
    inputs = ProtoField.uint8("lumidra.inputs", "Inputs", base.HEX),
    input1 = ProtoField.bool("lumidra.inputs.1", "Input 1", 8, nil, 0x01),
    input2 = ProtoField.bool("lumidra.inputs.2", "Input 2", 8, nil, 0x02),
    input3 = ProtoField.bool("lumidra.inputs.3", "Input 3", 8, nil, 0x04),
    input4 = ProtoField.bool("lumidra.inputs.4", "Input 4", 8, nil, 0x08),
    key_status = ProtoField.uint8("lumidra.key_status", "Key status", base.DEC, key_status_names),
    job_ack = ProtoField.uint8("lumidra.job_ack", "Job acknowledged"),
    -- as the program shows it compact and the key base holds it: the byte
    -- at index 15 first
    key = ProtoField.string("lumidra.key", "Key"),
    -- state
    led = ProtoField.string("lumidra.led", "LED display"),
    led_mode = ProtoField.uint8("lumidra.led.mode", "LED mode", base.DEC, led_mode_names, 0x03),
    indicator1 = ProtoField.bool("lumidra.indicator1", "Indicator 1", 8, nil, 0x04),
    indicator2 = ProtoField.bool("lumidra.indicator2", "Indicator 2", 8, nil, 0x80),
    command = ProtoField.uint8("lumidra.command", "Host byte", base.DEC, command_names),
    job_request = ProtoField.uint8("lumidra.job_request", "Job request"),
    -- job
    job = ProtoField.string("lumidra.job", "Job"),
    job_code = ProtoField.uint8("lumidra.job.code", "Job code"),
    job_mode = ProtoField.uint8("lumidra.job.mode", "Mode"),
    offset = ProtoField.uint16("lumidra.offset", "Offset", base.HEX),
    counter = ProtoField.uint16("lumidra.counter", "Plot counter"),
    -- data
    part = ProtoField.string("lumidra.part", "Part"),
    data = ProtoField.bytes("lumidra.data", "Data"),
    lcd_command = ProtoField.bytes("lumidra.lcd_command", "LCD controller bytes"),
    contrast = ProtoField.uint8("lumidra.contrast", "Contrast level"),
    text = ProtoField.string("lumidra.text", "Text"),
    point = ProtoField.string("lumidra.point", "Point"),
    point_x = ProtoField.uint8("lumidra.point.x", "x"),
    point_y = ProtoField.uint8("lumidra.point.y", "y"),
}
lumidra.fields = f

local e_malformed = ProtoExpert.new("lumidra.malformed", "Malformed report",
    expert.group.MALFORMED, expert.severity.ERROR)
lumidra.experts = { e_malformed }

local usb_direction = Field.new("usb.endpoint_address.direction")
local usb_transfer = Field.new("usb.transfer_type")
local usb_bus = Field.new("usb.bus_id")
local usb_device = Field.new("usb.device_address")
local usb_vendor = Field.new("usb.idVendor")
local usb_product = Field.new("usb.idProduct")

-- The exchange per device ("bus.device"), and what was decided per frame.
local devices, frames

function lumidra.init()
    devices, frames = {}, {}
end

-- Where a device's exchange stands. Unknown until the board is seen
-- enumerating, or streaming status (two input reports in a row happen only
-- between jobs).
local function new_exchange(known)
    return {
        known = known,
        ins = 0,            -- input reports since the last output report
        job_due = false,    -- the next output report is a job report
        answer = nil,       -- the data report due from the board: "dump", "flash", "plot"
        data_left = 0,      -- data reports the job report announced, still to come
        data_count = 0,
        code = nil, mode = 0, offset = 0, counter = 0,
        last = nil,         -- bytes 1 to 5 of the job report of a job that ends with job code 0
        ending = false,     -- that job was cut short while the board's answer was due
        cut = nil,          -- { code, last } of a job cut short by its board's going
    }
end

local function exchange_of(key)
    local ex = devices[key]
    if not ex then
        ex = new_exchange(false)
        devices[key] = ex
    end
    return ex
end

local function bit(value, mask)
    return value % (mask * 2) >= mask
end

local function hex(b)
    return string.format("%02X", b)
end

local function job_name(code, mode)
    if code == 0 then return "end" end
    if code == 1 then return "memory dump" end
    if code == 2 then return "LCD picture" end
    if code == 4 then return "LCD command" end
    if code == 8 then
        return ({ [0] = "LCD text 1x", [1] = "LCD text 1.5x", [2] = "splash screen" })[mode] or "LCD text"
    end
    if code == 16 then
        return ({ [0] = "Flash-ROM read", [1] = "Flash-ROM erase", [2] = "Flash-ROM write" })[mode] or "Flash-ROM"
    end
    if code == 32 then return "plot" end
    return nil
end

-- The plot counter from its digits, the second of each pair in the high
-- nibble; nil when a nibble is no decimal digit.
local function plot_counter(b3, b4)
    local d = { b3 % 16, math.floor(b3 / 16), b4 % 16, math.floor(b4 / 16) }
    for _, v in ipairs(d) do
        if v > 9 then return nil end
    end
    return ((d[1] * 10 + d[2]) * 10 + d[3]) * 10 + d[4]
end

-- What a job report announces: the data reports that follow it, the board's
-- data report it asks for, whether another job report follows, and what is
-- wrong with it (nil when nothing).
local function job_effect(p)
    local code, mode = p[0], p[1]
    local e = { data = 0, answer = nil, job_due = false, ends = false }
    if code == 0 then
        e.ends = true
    elseif code == 1 then
        e.answer = "dump"
        local offset = p[1] + p[2] * 256
        if offset % REPORT_SIZE ~= 0 or offset + REPORT_SIZE > MEMORY_SIZE then
            e.problem = "dump offset " .. offset
        end
    elseif code == 2 then
        e.data = 14
    elseif code == 4 then
        e.data = 1
    elseif code == 8 then
        if mode == 0 then e.data = 3
        elseif mode == 1 then e.data = 2
        elseif mode == 2 then e.job_due = true
        else e.problem = "LCD text mode " .. mode end
    elseif code == 16 then
        if mode == 0 then e.answer = "flash"
        elseif mode == 2 then e.data = 1
        elseif mode ~= 1 then e.problem = "Flash-ROM operation " .. mode end
        if p[2] ~= 64 or p[3] ~= 127 then e.problem = "Flash-ROM parameters " .. p[2] .. ", " .. p[3] end
    elseif code == 32 then
        e.answer = "plot"
        if p[1] ~= 4 or p[4] ~= 3 or p[5] ~= 251 then e.problem = "plot request parameters" end
        if not plot_counter(p[2], p[3]) then e.problem = "plot counter digits" end
    else
        e.problem = "unknown job code " .. code
    end
    return e
end

-- Whether output report `p` ends the job in hand cut short (its operator
-- stopped it, or its board came back): job code 0 with the rest as the job's
-- last job report left them, sent whether or not a job report was due. Only
-- the jobs that end with job code 0 end so; the others end with a state
-- report. No state report looks like it: its host byte is never 0 once the
-- board is attached, nor 127, and its job request never 3.
local function cut_end(ex, p)
    local last = ex.last or (ex.cut and ex.cut.last)
    if not last or p[0] ~= 0 then return false end
    for i = 1, 5 do
        if p[i] ~= last[i] then return false end
    end
    return true
end

-- The kind of one report and what it belongs to, decided from the exchange so
-- far, which it then advances.
local function decide(ex, out, p)
    local d = { out = out }
    if not out then
        ex.ins = ex.ins + 1
        if not ex.known and ex.ins >= 2 then ex.known = true end
        if not ex.known then
            d.kind = "unknown"
        elseif ex.answer then
            d.kind = ({ dump = "dump data", flash = "Flash-ROM data", plot = "plot points" })[ex.answer]
            d.code, d.mode, d.offset, d.counter = ex.code, ex.mode, ex.offset, ex.counter
            ex.answer = nil
            -- after a cut end this answer was the job's last word
            ex.job_due = not ex.ending
            if ex.ending then ex.code, ex.ending = nil, false end
        else
            d.kind = "status"
            if p[6] ~= 0 then ex.job_due = true end
        end
        return d
    end
    ex.ins = 0
    if not ex.known then
        d.kind = "unknown"
    elseif ex.data_left > 0 then
        d.kind = "data"
        d.code, d.mode = ex.code, ex.mode
        d.index, d.count = ex.data_count - ex.data_left + 1, ex.data_count
        ex.data_left = ex.data_left - 1
    elseif ex.job_due and (p[4] == 0 or p[4] == 3) then
        d.kind = "job"
        local e = job_effect(p)
        d.problem = e.problem
        d.code, d.mode = p[0], p[1]
        if e.ends then
            d.ended = ex.code
        end
        if not e.problem then
            if e.ends then
                ex.code, ex.answer, ex.job_due, ex.last = nil, nil, false, nil
            else
                ex.code, ex.mode = p[0], p[1]
                ex.offset = p[1] + p[2] * 256
                ex.counter = plot_counter(p[2], p[3]) or 0
                ex.answer, ex.job_due = e.answer, e.job_due
                ex.data_left, ex.data_count = e.data, e.data
                ex.last = (e.answer or e.job_due) and { p[1], p[2], p[3], p[4], p[5] } or nil
            end
        end
    elseif cut_end(ex, p) then
        d.kind, d.code, d.mode = "job", 0, p[1]
        d.ended = ex.last and ex.code or ex.cut.code
        ex.job_due, ex.last, ex.cut = false, nil, nil
        -- The board may still answer the job's last request.
        ex.ending = ex.answer ~= nil
        if not ex.ending then ex.code = nil end
    else
        d.kind = "state"
        ex.job_due = false
        if p[4] == 1 then
            -- a new job: what a cut one left owing is not coming
            ex.cut = nil
            if ex.ending then ex.code, ex.answer, ex.ending = nil, nil, false end
        end
        if p[4] == 0 and not ex.ending then ex.code, ex.answer, ex.last = nil, nil, nil end
    end
    return d
end

local function malformed(tree, text)
    tree:add_proto_expert_info(e_malformed, text)
end

local function led_text(right, left, mode)
    local digits = hex(left) .. hex(right)
    if mode == 3 then return digits:sub(1, 2) .. ":" .. digits:sub(3) end
    if mode == 2 then return digits:sub(1, 2) .. "." .. digits:sub(3) end
    return digits
end

-- "inputs 1 3 on", "input 2 on", "inputs off": which of `bits` are set,
-- numbered from 1.
local function on_list(name, bits)
    local on = {}
    for i, b in ipairs(bits) do
        if b then on[#on + 1] = tostring(i) end
    end
    if #on == 0 then return name .. "s off" end
    return name .. (#on > 1 and "s " or " ") .. table.concat(on, " ") .. " on"
end

local function show_status(tvb, tree, p)
    local summary = {}
    for ch = 1, 2 do
        local at = (ch - 1) * 2
        local value = p[at] + p[at + 1] * 256
        local percent = math.floor(value * 100 / 1023)
        tree:add_le(f["channel" .. ch], tvb(at, 2))
        tree:add(f["channel" .. ch .. "_percent"], tvb(at, 2), percent)
        if value > 1023 then malformed(tree, "channel " .. ch .. " above 1023: " .. value) end
        summary[#summary + 1] = "ch" .. ch .. " " .. percent .. "%"
    end
    local inputs = tree:add(f.inputs, tvb(4, 1))
    for i = 1, 4 do inputs:add(f["input" .. i], tvb(4, 1)) end
    tree:add(f.key_status, tvb(5, 1))
    tree:add(f.job_ack, tvb(6, 1))
    local key = {}
    for i = 15, 8, -1 do key[#key + 1] = hex(p[i]) end
    key = table.concat(key)
    tree:add(f.key, tvb(8, 8), key)
    summary[#summary + 1] = on_list("input", { bit(p[4], 1), bit(p[4], 2), bit(p[4], 4), bit(p[4], 8) })
    -- the key bytes mean a key only while one is held
    summary[#summary + 1] = (key_status_names[p[5]] or ("key status " .. p[5])) .. (p[5] == 1 and " " .. key or "")
    if p[6] ~= 0 then summary[#summary + 1] = "job acknowledged" end
    return table.concat(summary, ", ")
end

local function show_state(tvb, tree, p)
    local mode = p[2] % 4
    local led = led_text(p[0], p[1], mode)
    tree:add(f.led, tvb(0, 2), led)
    tree:add(f.led_mode, tvb(2, 1))
    tree:add(f.indicator1, tvb(2, 1))
    tree:add(f.indicator2, tvb(2, 1))
    tree:add(f.command, tvb(3, 1))
    tree:add(f.job_request, tvb(4, 1))
    if p[2] % 128 >= 8 then malformed(tree, "display bits 3 to 6 set") end
    if not command_names[p[3]] then malformed(tree, "host byte " .. p[3]) end
    if p[4] > 1 then malformed(tree, "job request " .. p[4]) end
    for i = 5, REPORT_SIZE - 1 do
        if p[i] ~= 0 then
            malformed(tree, "byte " .. (i + 1) .. " set")
            break
        end
    end
    local summary = "LED " .. led .. ", " .. on_list("indicator", { bit(p[2], 4), bit(p[2], 128) }) .. ", " ..
        (command_names[p[3]] or tostring(p[3]))
    if p[4] == 1 then summary = summary .. ", job request" end
    return summary
end

local function show_job(tvb, tree, p, d)
    local name = job_name(d.code, d.mode)
    if d.code == 0 and d.ended then name = "end of " .. (job_name(d.ended, d.mode) or "job") end
    tree:add(f.job, tvb(0, 1), name or "unknown")
    tree:add(f.job_code, tvb(0, 1))
    tree:add(f.job_mode, tvb(1, 1))
    if d.code == 1 or (d.code == 0 and d.ended == 1) then
        tree:add_le(f.offset, tvb(1, 2))
    elseif d.code == 32 then
        tree:add(f.counter, tvb(2, 2), plot_counter(p[2], p[3]) or 0)
    end
    if d.problem then malformed(tree, d.problem) end
    for i = 6, REPORT_SIZE - 1 do
        if p[i] ~= 0 then
            malformed(tree, "byte " .. (i + 1) .. " set")
            break
        end
    end
    return name or ("code " .. d.code)
end

local function show_data(tvb, tree, p, d)
    local name = job_name(d.code, d.mode) or "job"
    tree:add(f.job, tvb(0, 0), name)
    tree:add(f.part, tvb(0, 0), d.index .. " of " .. d.count)
    if d.code == 4 then
        local n = 0
        while n < REPORT_SIZE and p[n] ~= 0xE3 do n = n + 1 end
        if n > 0 then tree:add(f.lcd_command, tvb(0, n)) end
        if n == 2 and p[0] == 0xAD and p[1] >= 0x80 and p[1] <= 0x9F then
            tree:add(f.contrast, tvb(1, 1), p[1] - 0x80)
        end
    elseif d.code == 8 then
        tree:add(f.text, tvb(0, REPORT_SIZE), tvb(0, REPORT_SIZE):string(ENC_WINDOWS_1251))
    else
        tree:add(f.data, tvb(0, REPORT_SIZE))
    end
    return name .. ", " .. d.index .. " of " .. d.count
end

local function show_answer(tvb, tree, p, d)
    tree:add(f.job, tvb(0, 0), job_name(d.code, d.mode) or "job")
    if d.kind == "dump data" then
        tree:add(f.offset, tvb(0, 0), d.offset)
        tree:add(f.data, tvb(0, REPORT_SIZE))
        return string.format("offset 0x%04X", d.offset)
    elseif d.kind == "plot points" then
        tree:add(f.counter, tvb(0, 0), d.counter)
        for i = 0, 31 do
            local x, y = p[2 * i], p[2 * i + 1]
            local px, py = 256 * (i % 4) + x, 256 * (math.floor(i / 4) % 2) + y
            local point = tree:add(f.point, tvb(2 * i, 2),
                string.format("%d: x %d, y %d, pixel (%d, %d)", i, x, y, px, py))
            point:add(f.point_x, tvb(2 * i, 1))
            point:add(f.point_y, tvb(2 * i + 1, 1))
        end
        return "counter " .. d.counter
    end
    tree:add(f.data, tvb(0, REPORT_SIZE))
    return "the block"
end

function lumidra.dissector(tvb, pinfo, tree)
    local transfer = usb_transfer()
    if transfer and transfer.value ~= 1 then return 0 end  -- interrupt transfers only
    local length = tvb:reported_length_remaining()
    if length == 0 then return 0 end                       -- a submit or completion without data
    local direction = usb_direction()
    local out = not (direction and direction.value == 1)   -- endpoint bit 7
    local bus, device = usb_bus(), usb_device()
    local key = (bus and bus.value or 0) .. "." .. (device and device.value or 0)

    local p = {}
    for i = 0, math.min(length, REPORT_SIZE) - 1 do p[i] = tvb(i, 1):uint() end
    for i = length, REPORT_SIZE - 1 do p[i] = 0 end

    local d = frames[pinfo.number]
    if not d then
        d = decide(exchange_of(key), out, p)
        frames[pinfo.number] = d
    end

    pinfo.cols.protocol = "LUMIDRA"
    local tree_item = tree:add(lumidra, tvb())
    tree_item:add(f.direction, out and "out" or "in")
    tree_item:add(f.kind, d.kind)
    if length >= REPORT_SIZE then tree_item:add(f.report, tvb(0, REPORT_SIZE)) end
    local summary
    if length ~= REPORT_SIZE then
        malformed(tree_item, "a report of " .. length .. " bytes, not " .. REPORT_SIZE)
        summary = d.kind
    elseif d.kind == "status" then
        summary = show_status(tvb, tree_item, p)
    elseif d.kind == "state" then
        summary = show_state(tvb, tree_item, p)
    elseif d.kind == "job" then
        summary = show_job(tvb, tree_item, p, d)
    elseif d.kind == "data" then
        summary = show_data(tvb, tree_item, p, d)
    elseif d.kind == "unknown" then
        summary = "unknown (where the exchange stands is not known yet)"
    else
        summary = show_answer(tvb, tree_item, p, d)
    end
    tree_item:append_text(", " .. (out and "out" or "in") .. ": " .. d.kind)
    pinfo.cols.info = (out and "out " or "in  ") .. d.kind .. ": " .. summary
    return length
end

-- The board's enumeration: its device descriptor starts its exchange afresh,
-- between jobs.
local enumeration = Proto("lumidra_enumeration", "Lumidra board enumeration")

function enumeration.dissector(tvb, pinfo, tree)
    if pinfo.visited then return end
    local vendor, product = usb_vendor(), usb_product()
    if vendor and product and vendor.value == VENDOR and product.value == PRODUCT then
        -- A job that the board's going cut short ends once it is back, at
        -- whatever address it comes back.
        local cut
        for _, old in pairs(devices) do
            if old.last then cut, old.last = { code = old.code, last = old.last }, nil end
        end
        local bus, device = usb_bus(), usb_device()
        local ex = new_exchange(true)
        ex.cut = cut
        devices[(bus and bus.value or 0) .. "." .. (device and device.value or 0)] = ex
    end
end

register_postdissector(enumeration)
DissectorTable.get("usb.product"):add(VENDOR * 65536 + PRODUCT, lumidra)
DissectorTable.get("usb.device"):add_for_decode_as(lumidra)
