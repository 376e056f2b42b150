-- Makes a manual page of a page source in packaging/man/ and the documents
-- of docs/ that it names, so that the page says what the documents say,
-- never a copy of it.
--
-- In a page source:
--   ::: {.include doc=FILE level=N}               the whole of docs/FILE
--   ::: {.include doc=FILE section="TITLE" level=N}  its ## TITLE section
--   ::: {.command-line-options level=N}           what `quendrix
--                                                 --options-markdown` prints
-- The Div is replaced by the text, whose headings are moved so that its top
-- heading is of level N (1: a section of the page, 2: a subsection). A
-- document's title that is followed at once by a heading is left out: the
-- page's own heading stands above it.
--
-- Metadata, given with -M: docs-dir (the folder of the documents), host
-- (the quendrix executable, for the options), installed-docs (where the
-- package puts the documents, named where a link leads outside the page).
-- The page source itself names, in other-pages, the documents that another
-- manual page carries, so that a link into one of them names that page.
--
-- Manual pages are read at 80 columns, where a table of long cells breaks
-- badly: each table becomes a list, one item per row, headed by the cell a
-- reader looks the row up by (the first column whose cells all differ),
-- with the other cells below it under their headings.
local stringify = pandoc.utils.stringify

local function fail(message)
  io.stderr:write('man_page.lua: ' .. message .. '\n')
  os.exit(1)
end

local function read_file(path)
  local file = io.open(path, 'r')
  if not file then fail('cannot read ' .. path) end
  local text = file:read('a')
  file:close()
  return text
end

local function meta_text(meta, key)
  local value = meta[key]
  if value == nil then return nil end
  return stringify(value)
end

-- The blocks of one ## section: its heading and everything up to the next
-- heading of level 2 or above.
local function section_of(blocks, title, doc)
  local taken = pandoc.List()
  local inside = false
  for _, block in ipairs(blocks) do
    if block.t == 'Header' and block.level <= 2 then
      inside = block.level == 2 and stringify(block.content) == title
    end
    if inside then taken:insert(block) end
  end
  if #taken == 0 then fail(doc .. ' has no section "' .. title .. '"') end
  return taken
end

local function move_headings(blocks, level)
  if #blocks >= 2 and blocks[1].t == 'Header' and blocks[1].level == 1 and
      blocks[2].t == 'Header' then
    blocks:remove(1)
  end
  local top
  for _, block in ipairs(blocks) do
    if block.t == 'Header' and (top == nil or block.level < top) then
      top = block.level
    end
  end
  if top == nil then return blocks end
  return pandoc.walk_block(pandoc.Div(blocks), {
    Header = function(header)
      header.level = header.level + level - top
      return header
    end,
  }).content
end

-- Where each link target of the page lies: the documents and the ids of the
-- headings that the page carries.
local carried = {}

local function note_carried(doc, blocks)
  carried[doc] = carried[doc] or {}
  pandoc.walk_block(pandoc.Div(blocks), {
    Header = function(header)
      carried[doc][header.identifier] = true
    end,
  })
end

-- A link of a document: the file it leads to and the heading's id, with a
-- link inside the document itself resolved to that document.
local function link_target(target, doc)
  if target:match('^%a[%w+.-]*:') then return nil end  -- a URL
  local file, id = target:match('^([^#]*)#?(.*)$')
  if file == '' then file = doc end
  return file:gsub('^%./', ''), id
end

-- "name(5)" as a manual page is named in a text: the name in bold.
local function page_reference(page)
  local name, section = page:match('^(.-)(%(%w+%))$')
  return {pandoc.Strong(pandoc.Str(name)), pandoc.Str(section)}
end

local function rewrite_links(blocks, doc, other_pages, installed_docs)
  return pandoc.walk_block(pandoc.Div(blocks), {
    Link = function(link)
      local file, id = link_target(link.target, doc)
      if file == nil then return nil end
      local text = link.content
      if id ~= '' then text = {pandoc.Quoted('DoubleQuote', text)} end
      if carried[file] and (id == '' or carried[file][id]) then
        return text
      end
      local where = pandoc.List(text)
      where:insert(pandoc.Str(' in '))
      if other_pages[file] then
        where:extend(page_reference(other_pages[file]))
      else
        -- A link out of docs/ (../README.md) leads to the folder above.
        local path = (installed_docs .. '/' .. file):gsub('[^/]+/%.%./', '')
        where:insert(pandoc.Code(path))
      end
      return where
    end,
  }).content
end

local function inlines_of(blocks)
  local inlines = pandoc.List()
  for i, block in ipairs(blocks) do
    if i > 1 then inlines:insert(pandoc.Space()) end
    inlines:extend(block.content or {pandoc.Str(stringify(block))})
  end
  return inlines
end

-- The column a reader looks a row up by: the first whose cells all differ.
local function key_column(simple)
  for column = 1, #simple.headers do
    local seen, unique = {}, true
    for _, row in ipairs(simple.rows) do
      local text = stringify(row[column])
      unique = unique and not seen[text]
      seen[text] = true
    end
    if unique then return column end
  end
  return 1
end

local function table_as_list(tbl)
  local simple = pandoc.utils.to_simple_table(tbl)
  local key = key_column(simple)
  local items = {}
  for _, row in ipairs(simple.rows) do
    local lines = pandoc.List()
    for column = 1, #simple.headers do
      if column ~= key and #row[column] > 0 then
        local line = pandoc.List({pandoc.Emph(inlines_of(simple.headers[column])),
                                  pandoc.Str(':'), pandoc.Space()})
        line:extend(inlines_of(row[column]))
        lines:insert(pandoc.Para(line))
      end
    end
    table.insert(items, {inlines_of(row[key]), {lines}})
  end
  return pandoc.DefinitionList(items)
end

local function upper_heading(header)
  if header.level ~= 1 then return nil end
  return pandoc.walk_block(header, {
    Str = function(s) return pandoc.Str(pandoc.text.upper(s.text)) end,
    Code = function(c) return pandoc.Str(pandoc.text.upper(c.text)) end,
  })
end

function Pandoc(document)
  local meta = document.meta
  local docs_dir = meta_text(meta, 'docs-dir') or fail('no docs-dir given')
  local installed_docs = meta_text(meta, 'installed-docs') or
      fail('no installed-docs given')
  local other_pages = {}
  for file, page in pairs(meta['other-pages'] or {}) do
    other_pages[file] = stringify(page)
  end

  -- The included parts, each with the document it came from, so that its
  -- links are read relative to that document.
  local parts = pandoc.List()
  for _, block in ipairs(document.blocks) do
    local level = block.t == 'Div' and tonumber(block.attributes.level) or 1
    if block.t == 'Div' and block.classes:includes('include') then
      local doc = block.attributes.doc or fail('an include without doc=')
      local blocks = pandoc.read(read_file(docs_dir .. '/' .. doc), 'gfm').blocks
      if block.attributes.section then
        blocks = section_of(blocks, block.attributes.section, doc)
      end
      blocks = move_headings(blocks, level)
      note_carried(doc, blocks)
      parts:insert({doc = doc, blocks = blocks})
    elseif block.t == 'Div' and block.classes:includes('command-line-options') then
      local host = meta_text(meta, 'host') or fail('no host given')
      local markdown = pandoc.pipe(host, {'--options-markdown'}, '')
      parts:insert({blocks = move_headings(pandoc.read(markdown, 'markdown').blocks, level)})
    else
      parts:insert({blocks = pandoc.List({block})})
    end
  end

  local blocks = pandoc.List()
  for _, part in ipairs(parts) do
    local part_blocks = part.blocks
    if part.doc then
      part_blocks = rewrite_links(part_blocks, part.doc, other_pages, installed_docs)
    end
    blocks:extend(part_blocks)
  end
  blocks = pandoc.walk_block(pandoc.Div(blocks), {
    Table = table_as_list,
    Header = upper_heading,
  }).content
  return pandoc.Pandoc(blocks, meta)
end
