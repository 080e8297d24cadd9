<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><r><xsl:message>counted <xsl:value-of select="count(//book)"/> books</xsl:message>done</r></xsl:template>
</xsl:stylesheet>
