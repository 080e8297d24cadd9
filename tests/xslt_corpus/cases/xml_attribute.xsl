<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><r><xsl:attribute name="id" namespace="http://www.w3.org/XML/1998/namespace">x</xsl:attribute><xsl:attribute name="xml:lang">en</xsl:attribute><c><xsl:copy-of select="/catalog/book[1]/@lang"/></c></r></xsl:template>
</xsl:stylesheet>
